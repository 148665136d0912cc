# vBulletin 4.x with its default style, plain or search-engine-friendly addresses.
[engine]
name = vbulletin4
title = vBulletin 4.x
detect = meta[name=generator][content^="vBulletin 4"]

[forums]
links = h2.forumtitle > a
address = *forumdisplay.php?f=#* *forumdisplay.php?*&f=#* *forumdisplay.php/#* *forumdisplay.php?#-* */forums/#-*
ignore-address = *sort=* *order=* *do=*
next = .prev_next a[rel=next]

[topics]
links = a.title[id^=thread_title_]
address = *showthread.php?t=#* *showthread.php?*&t=#* *showthread.php/#* *showthread.php?#-* */threads/#-*
ignore-address = *goto=* *p=#* *do=*
next = .prev_next a[rel=next]

[posts]
post = li.postcontainer[id^=post_]
author = .username_container .username
date = .posthead .date
message = div[id^=post_message_] > blockquote.postcontent, div[id^=post_message_]
quote = div.bbcode_quote
quote-title = .bbcode_postedby
drop = .bbcode_postedby a, .bbcode_description, .bbcode_quote_container
