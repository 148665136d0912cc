# phpBB 3.x with the prosilver style and styles built on it.
[engine]
name = phpbb3
title = phpBB 3.x
detect = body#phpbb
detect = meta[name=generator][content^=phpBB]

[forums]
# Forum titles of the forum lists; the jump box and the breadcrumbs are left alone.
links = a.forumtitle
address = *viewforum.php?f=#* *viewforum.php?*&f=#* */viewforum.php/*-f#/* */forum/*-f#/*
ignore = .jumpbox, #jumpbox, .navbar
next = .pagination li.next a

[topics]
links = a.topictitle
address = *viewtopic.php?t=#* *viewtopic.php?*&t=#* */viewtopic.php/*-t#* */topic/*-t#*
next = .pagination li.next a

[posts]
post = div.post.has-profile, div.post
author = .postprofile .username, .postprofile .username-coloured, .author .username, .author strong
date = p.author time, .author time
message = div.content
drop = .codebox > p, .signature
# The attachment box: files as download links, pictures shown inline.
attachments = dl.attachbox a.postlink, dl.attachbox img.postimage
