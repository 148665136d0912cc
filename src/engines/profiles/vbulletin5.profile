# vBulletin 5.x with its default style. Forum addresses carry no number, so
# forums are told apart by their path without its page ("/page2"), query and
# final '/'.
[engine]
name = vbulletin5
title = vBulletin 5.x
detect = meta[name=generator][content^="vBulletin 5"]
detect = body#vb-page-body

[forums]
links = a.forum-title, a.subforum-title
ignore-address = */#-* *filter_* *?p=*
page-part = /page# ?*
next = a.js-pagenav-next-button

[topics]
links = a.topic-title
address = */forum/*/#-*
ignore-address = *?p=*
next = a.js-pagenav-next-button

[posts]
post = li.b-post[data-node-id]
author = .b-userinfo .author
date = .b-post__timestamp time
message = .js-post__content-text
quote = div.bbcode_quote
quote-title = .bbcode_postedby
drop = .bbcode_postedby a, .bbcode_quote_container, .bbcode_description
