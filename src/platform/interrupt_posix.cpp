// SPDX-License-Identifier: MIT
#include "platform/interrupt.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>

namespace quillstash::platform {

struct InterruptWatcher::State {
  std::function<void()> onInterrupt;
  sigset_t signals{};
  std::thread thread;
  std::atomic<bool> interrupted{false};
  std::atomic<bool> done{false};
};

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt) : state_(new State) {
  state_->onInterrupt = std::move(onInterrupt);
  sigemptyset(&state_->signals);
  sigaddset(&state_->signals, SIGINT);
  sigaddset(&state_->signals, SIGTERM);
  sigaddset(&state_->signals, SIGUSR1);  // wakes the watcher when it is destroyed
  pthread_sigmask(SIG_BLOCK, &state_->signals, nullptr);
  State* state = state_;
  state_->thread = std::thread([state] {
    for (;;) {
      int signal = 0;
      if (sigwait(&state->signals, &signal) != 0) continue;
      if (state->done.load()) return;
      if (signal == SIGINT || signal == SIGTERM) {
        state->interrupted.store(true);
        state->onInterrupt();
      }
    }
  });
}

InterruptWatcher::~InterruptWatcher() {
  state_->done.store(true);
  pthread_kill(state_->thread.native_handle(), SIGUSR1);
  state_->thread.join();
  delete state_;
}

bool InterruptWatcher::interrupted() const { return state_->interrupted.load(); }

}  // namespace quillstash::platform
