// SPDX-License-Identifier: MIT
#pragma once

// Small boards in the shapes of other forum engines, served by the demo
// board server in end-to-end tests: each has two forums (the first with a
// second page of topics), three topics, and a topic over two pages.

#include "board_server.h"

namespace quillstash::test {

// Links forumdisplay.php?s=SESSION&amp;f=N and showthread.php?s=SESSION&amp;t=N
// with a new 32-digit session id on every page, "&amp;page=N" navigation, and
// posts framed by "<!-- user info -->" / "<!-- message -->" comment markers.
demo::Response commentMarkerBoard(const demo::Request& request);

// Links index.php?showforum=N and index.php?showtopic=N next to action links
// "&amp;act=ST", "Pages (2):" navigation with "&amp;st=N", posts in two-cell rows.
demo::Response showTopicBoard(const demo::Request& request);

// Links go.cgi?area=N and read.cgi?id=N whose shapes no rule knows, in
// tables of several columns: only the table layout reveals them.
demo::Response unknownShapeBoard(const demo::Request& request);

}  // namespace quillstash::test
