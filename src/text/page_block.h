// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <new>

#include "platform/memory.h"

namespace quillstash {

// An owned block that holds one fetched page as a NUL-terminated byte text at
// its start (10 MiB by default). There is always room for the NUL after
// capacity() bytes. The block comes zero-filled from the system page by page,
// so the memory a short page never touches is never made resident, and a
// block costs no time to clear however large it is.
// Used by one thread at a time.
class PageBlock {
 public:
  static constexpr std::size_t kDefaultCapacity = 10485760;

  explicit PageBlock(std::size_t capacity = kDefaultCapacity)
      : data_(static_cast<char*>(platform::allocatePages(capacity + 1))), capacity_(capacity) {
    if (data_ == nullptr) throw std::bad_alloc();
  }
  ~PageBlock() { platform::releasePages(data_, capacity_ + 1); }
  PageBlock(const PageBlock&) = delete;
  PageBlock& operator=(const PageBlock&) = delete;

  char* data() { return data_; }
  const char* text() const { return data_; }
  // Bytes that may be stored before the terminating NUL.
  std::size_t capacity() const { return capacity_; }

  // Makes the first `length` bytes the page (length <= capacity()) and ends it with a NUL.
  void setLength(std::size_t length) { data_[length <= capacity_ ? length : capacity_] = '\0'; }
  void clear() { data_[0] = '\0'; }

 private:
  char* data_;
  std::size_t capacity_;
};

}  // namespace quillstash
