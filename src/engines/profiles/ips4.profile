# Invision Community 4.x with its default theme.
[engine]
name = ips4
title = Invision Community 4.x
detect = body.ipsApp
detect = a[href^="https://www.invisioncommunity.com"]

[forums]
# Forum rows of the forum lists; category headings (h2) are left alone.
links = .ipsDataItem_title > a, ol[data-role=forums] .ipsDataItem_subList a
address = */forum/#-*
ignore-address = *sortby=* *do=*
next = li.ipsPagination_next > a

[topics]
links = .ipsDataItem_title .ipsContained > a, .ipsDataItem_title span > a
address = */topic/#-*
ignore-address = *do=* *comment=* *preview*
next = li.ipsPagination_next > a

[posts]
post = article.ipsComment[id^=elComment_]
author = .cAuthorPane_author
date = .ipsComment_meta time
message = div[data-role=commentContent]
quote-author = data-ipsquote-username
drop = .ipsQuote_citation, .ipsItemControls
