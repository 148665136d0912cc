// SPDX-License-Identifier: MIT
#include "platform/interrupt.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace quillstash::platform {

// The console calls its control handler on a thread it creates, with no
// argument: the handler finds the watcher through this slot, which a
// watcher fills while it exists. The console's handler list is per process.
namespace {

struct Slot {
  std::mutex mutex;  // held while a watcher is called or replaced
  InterruptWatcher* watcher = nullptr;
};

Slot& slot() {
  static Slot instance;
  return instance;
}

}  // namespace

struct InterruptWatcher::State {
  std::function<void()> onInterrupt;
  std::atomic<bool> interrupted{false};

  static BOOL WINAPI handler(DWORD event) {
    switch (event) {
      case CTRL_C_EVENT:
      case CTRL_BREAK_EVENT:
      case CTRL_CLOSE_EVENT:
      case CTRL_LOGOFF_EVENT:
      case CTRL_SHUTDOWN_EVENT: {
        std::lock_guard<std::mutex> lock(slot().mutex);
        if (slot().watcher == nullptr) return FALSE;
        State* state = slot().watcher->state_;
        state->interrupted.store(true);
        state->onInterrupt();
        return TRUE;
      }
      default: return FALSE;
    }
  }
};

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt) : state_(new State) {
  state_->onInterrupt = std::move(onInterrupt);
  {
    std::lock_guard<std::mutex> lock(slot().mutex);
    slot().watcher = this;
  }
  ::SetConsoleCtrlHandler(&State::handler, TRUE);
}

InterruptWatcher::~InterruptWatcher() {
  ::SetConsoleCtrlHandler(&State::handler, FALSE);
  {
    std::lock_guard<std::mutex> lock(slot().mutex);
    if (slot().watcher == this) slot().watcher = nullptr;
  }
  delete state_;
}

bool InterruptWatcher::interrupted() const { return state_->interrupted.load(); }

}  // namespace quillstash::platform
