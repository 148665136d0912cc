# MyBB 1.8 with its default theme.
[engine]
name = mybb18
title = MyBB 1.8
detect = span.forum_status.ajax_mark_read
detect = div.post_author
detect = a[href="https://mybb.com"]

[forums]
# Forum names stand in bold in the forum rows; category headings are in the table heads.
links = td.trow1 > strong > a, td.trow2 > strong > a, td.trow1 .smalltext > a, td.trow2 .smalltext > a
address = *forumdisplay.php?fid=#* *forumdisplay.php?*&fid=#* */forum-#.html */forum-#-*.html
ignore-address = *sortby=* *datecut=* *action=*
next = a.pagination_next

[topics]
links = span[id^=tid_] > a
address = *showthread.php?tid=#* *showthread.php?*&tid=#* */thread-#.html */thread-#-*.html
ignore-address = *action=* *pid=*
next = a.pagination_next

[posts]
post = div.post[id^=post_]
author = .post_author .largetext
date = .post_date
message = div.post_body
code = div.codeblock > div.body
drop = div.codeblock > div.title, span.post_edit
