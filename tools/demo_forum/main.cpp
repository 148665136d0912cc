// SPDX-License-Identifier: MIT
// quillstash-demo-forum: serves the bundled sample board, or with --engine NAME
// the same small board as that forum engine prints it, on 127.0.0.1 until it
// is stopped (SIGINT or SIGTERM). Prints the board's address once it listens.
// With --https it serves TLS under a certificate made at start by a throwaway
// CA, and prints the path of that CA's certificate on a second line (the file
// is removed when the server stops).
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "board_server.h"
#include "boards.h"
#include "certificates.h"
#include "engine_board.h"

namespace {
volatile std::sig_atomic_t gStop = 0;
void onSignal(int) { gStop = 1; }
}  // namespace

void usage() {
  std::fprintf(stderr, "usage: quillstash-demo-forum [--port N] [--engine NAME] [--https]\nengines:");
  for (const quillstash::demo::EngineBoard& board : quillstash::demo::engineBoards()) {
    std::fprintf(stderr, "\n  %-12s %s", board.name, board.description);
  }
  std::fprintf(stderr, "\n");
}

int main(int argc, char** argv) {
  long port = 0;
  bool https = false;
  const quillstash::demo::EngineBoard* engine = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--https") == 0) {
      https = true;
    } else if ((std::strcmp(argv[i], "--port") == 0) && i + 1 < argc) {
      char* end = nullptr;
      port = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || port < 0 || port > 65535) {
        std::fprintf(stderr, "quillstash-demo-forum: --port takes a number from 0 to 65535\n");
        return 2;
      }
    } else if ((std::strcmp(argv[i], "--engine") == 0) && i + 1 < argc) {
      engine = quillstash::demo::findEngineBoard(argv[++i]);
      if (engine == nullptr) {
        usage();
        return 2;
      }
    } else {
      usage();
      return 2;
    }
  }
  const quillstash::demo::ClassicBoard board(quillstash::demo::demoShape());
  quillstash::demo::Handler handler = [&board](const quillstash::demo::Request& request) {
    return board.serve(request);
  };
  if (engine != nullptr)
    handler = engine->make(std::make_shared<const quillstash::demo::BoardModel>(quillstash::demo::makeBoardModel()));
  quillstash::demo::BoardServer server(handler);
  std::string caFile;
  if (https) {
#ifdef _WIN32
    std::fprintf(stderr, "quillstash-demo-forum: https is not supported on this system\n");
    return 1;
#else
    quillstash::demo::PemPair authority;
    quillstash::demo::PemPair certificate;
    char name[] = "/tmp/quillstash-demo-ca-XXXXXX";
    const int fd = ::mkstemp(name);
    if (!quillstash::demo::makeAuthority("Quillstash Demo CA", authority) ||
        !quillstash::demo::makeServerCertificate(authority, {"127.0.0.1", "localhost"}, -3600, 86400, certificate) ||
        !server.useTls(certificate.certificate, certificate.key) || fd < 0 ||
        ::write(fd, authority.certificate.data(), authority.certificate.size()) !=
            static_cast<ssize_t>(authority.certificate.size())) {
      std::fprintf(stderr, "quillstash-demo-forum: cannot set up https\n");
      if (fd >= 0) ::unlink(name);
      return 1;
    }
    ::close(fd);
    caFile = name;
#endif
  }
  if (!server.start(static_cast<std::uint16_t>(port))) {
    if (!caFile.empty()) std::remove(caFile.c_str());
    std::fprintf(stderr, "quillstash-demo-forum: cannot listen on 127.0.0.1:%ld\n", port);
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::printf("%s://127.0.0.1:%u%s\n", https ? "https" : "http", server.port(),
              engine != nullptr ? engine->startPath : "/index.php");
  if (https) std::printf("%s\n", caFile.c_str());
  std::fflush(stdout);
  while (!gStop) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  server.stop();
  if (!caFile.empty()) std::remove(caFile.c_str());
  return 0;
}
