// SPDX-License-Identifier: MIT
#include "platform/charset.h"

#include <iconv.h>

#include <cerrno>

namespace quillstash::platform {

bool convertCharsetToUtf8(const std::string& charset, std::string_view text, std::string& out) {
  iconv_t converter = ::iconv_open("UTF-8", charset.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  out.reserve(text.size() + text.size() / 2);
  char buffer[16384];
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    const std::size_t result = ::iconv(converter, &in, &inLeft, &to, &toLeft);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(to - buffer));
    if (result != static_cast<std::size_t>(-1)) continue;
    if (error == E2BIG) continue;
    // A byte the charset does not define, or a sequence cut at the end.
    out += "\xEF\xBF\xBD";
    ++in;
    --inLeft;
  }
  ::iconv_close(converter);
  return true;
}

}  // namespace quillstash::platform
