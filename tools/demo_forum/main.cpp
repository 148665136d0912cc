// SPDX-License-Identifier: MIT
// quillstash-demo-forum: serves the bundled sample board on 127.0.0.1 until
// it is stopped (SIGINT or SIGTERM). Prints the board's address once it listens.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "board_server.h"
#include "boards.h"

namespace {
volatile std::sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }
}  // namespace

int main(int argc, char** argv) {
  long port = 0;
  for (int i = 1; i < argc; ++i) {
    if ((std::strcmp(argv[i], "--port") == 0) && i + 1 < argc) {
      char* end = nullptr;
      port = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || port < 0 || port > 65535) {
        std::fprintf(stderr, "quillstash-demo-forum: --port takes a number from 0 to 65535\n");
        return 2;
      }
    } else {
      std::fprintf(stderr, "usage: quillstash-demo-forum [--port N]\n");
      return 2;
    }
  }
  const quillstash::demo::ClassicBoard board(quillstash::demo::demoShape());
  quillstash::demo::BoardServer server([&board](const quillstash::demo::Request& request) { return board.serve(request); });
  if (!server.start(static_cast<std::uint16_t>(port))) {
    std::fprintf(stderr, "quillstash-demo-forum: cannot listen on 127.0.0.1:%ld\n", port);
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::printf("http://127.0.0.1:%u/index.php\n", server.port());
  std::fflush(stdout);
  while (!gStop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.stop();
  return 0;
}
