// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

namespace quillstash::platform {

// A zero-filled block of whole memory pages taken straight from the system,
// so that pages never touched are never made resident: a 10 MiB page block
// that holds a 40 KB page costs 40 KB. Returns nullptr when the system
// refuses. Release with releasePages and the same size.
void* allocatePages(std::size_t bytes);
void releasePages(void* block, std::size_t bytes);

}  // namespace quillstash::platform
