// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "board_server.h"

namespace quillstash::demo {

// The bundled demo board: a small board in the classic table-based shape with
// categories, forums with sub-forums, a forum over several pages, topics over
// several pages, quotes, bold and italic text, smileys, an attachment served
// with a Content-Disposition name, an external image on a second host name
// (localhost while the board is 127.0.0.1), a thumbnail link and a forum that
// only a logged-in member sees. User "keeper", password "lantern".
Response demoBoard(const Request& request);

// A tiny valid PNG picture (1 x 1 pixel) in the given shade.
std::string pngPicture(unsigned char shade);

}  // namespace quillstash::demo
