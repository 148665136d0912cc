# Discourse, as it serves pages to clients without JavaScript.
[engine]
name = discourse
title = Discourse (pages without JavaScript)
detect = meta[name=generator][content^=Discourse]
detect = body.crawler div#main-outlet

[forums]
# Categories of the category list and sub-categories under a category's heading.
links = td.category h3 a, .subcategories a, #main-outlet > a
address = */c/*/# */c/*/#/l/* */c/#
next = a[rel=next]

[topics]
links = a.raw-topic-link, a.title.raw-link
address = */t/*/# */t/*/#?* */t/*/#/*
next = a[rel=next]

[posts]
post = div.crawler-post[itemprop=comment], div.crawler-post[id^=post_]
author = .crawler-post-meta .creator
date = .crawler-post-meta time
message = .crawler-post > div.post
quote = aside.quote
quote-title = aside.quote > .title
drop = .quote-controls
