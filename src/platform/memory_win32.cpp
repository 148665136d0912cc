// SPDX-License-Identifier: MIT
#include "platform/memory.h"

#include <windows.h>

namespace quillstash::platform {

// Committed pages read as zero and take memory only once they are touched.
void* allocatePages(std::size_t bytes) {
  return ::VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void releasePages(void* block, std::size_t /*bytes*/) {
  if (block != nullptr) ::VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace quillstash::platform
