// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace quillstash::platform {

// Calls a function on a thread of its own when the user interrupts the
// program (Ctrl-C) or the system asks it to end, instead of killing it, so
// that a running download can stop cleanly. Create it before any other
// thread, so that every thread leaves those signals to it.
class InterruptWatcher {
 public:
  explicit InterruptWatcher(std::function<void()> onInterrupt);
  ~InterruptWatcher();  // stops watching
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

  bool interrupted() const;

 private:
  struct State;
  State* state_;
};

}  // namespace quillstash::platform
