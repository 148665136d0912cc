# XenForo 2.x with its default style.
[engine]
name = xenforo2
title = XenForo 2.x
detect = html#XF
detect = meta[name=generator][content^=XenForo]

[forums]
links = .node-title a
address = */forums/#/* */forums/*.#/* */forums/#/ */forums/*.#/ *?forums/*.#/*
ignore = .p-breadcrumbs, .node-extra, .p-nav
next = a.pageNav-jump--next

[topics]
links = .structItem-title a
address = */threads/#/* */threads/*.#/* *?threads/*.#/*
ignore-address = */latest */unread */post-#* */page-#
next = a.pageNav-jump--next

[posts]
post = article.message--post
author = .message-name .username, .message-userDetails .username
date = .message-attribution-main time, .message-attribution time, time.u-dt
message = .message-body .bbWrapper
quote = .bbCodeBlock--quote
quote-title = .bbCodeBlock--quote > .bbCodeBlock-title
drop = .bbCodeBlock--code > .bbCodeBlock-title, .bbCodeBlock-expandLink, .js-extraInfo
