# FluxBB 1.4-1.5 and PunBB, with their default styles.
[engine]
name = fluxbb
title = FluxBB / PunBB
detect = div.pun[id^=pun]
detect = a[href="http://fluxbb.org/"]

[forums]
links = .tclcon h3 a
address = *viewforum.php?id=#* *viewforum.php?*&id=#*
next = .pagelink a[rel=next]

[topics]
links = .tclcon a
address = *viewtopic.php?id=#* *viewtopic.php?*&id=#*
ignore-address = *pid=* *action=*
next = .pagelink a[rel=next]

[posts]
post = div.blockpost
author = .postleft dt
date = h2 a
message = .postmsg
quote = div.quotebox
drop = .postsignature, .postedit
