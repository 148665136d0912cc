# Simple Machines Forum 2.x with the default Curve2 theme.
[engine]
name = smf21
title = SMF 2.x
detect = body#chrome.action_home
detect = a[href*="action=credits"][title="Simple Machines"], a[href="https://www.simplemachines.org"]

[forums]
links = a.subject
address = *?board=#.* *?board=#;* *?board=# *&board=#.* *&board=# */board,#.*
ignore-address = *sort=* *action=*
next = .pagelinks a.nav_page

[topics]
links = span[id^=msg_] > a
address = *?topic=#.* *&topic=#.* *?topic=# *&topic=# */topic,#.*
ignore-address = *.msg#* *action=* *#new*
next = .pagelinks a.nav_page

[posts]
post = div.windowbg[id^=msg]
author = .poster h4 a, .poster h4
date = .keyinfo a.smalltext, .keyinfo .smalltext
message = .post .inner
drop = div.codeheader, span.modified
# One link a file under the message (a picture's own thumbnail address is another spelling).
attachments = .attachments_bot a
