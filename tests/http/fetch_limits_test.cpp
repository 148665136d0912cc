// SPDX-License-Identifier: MIT
// Hostile and broken servers: every fetch ends by its limits, leaves no cut
// file behind, and never copies control characters from an address into a
// request or a log line.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/exchange.h"
#include "http/fetch.h"
#include "http_world.h"
#include "platform/socket.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace quillstash {
namespace {

using namespace std::chrono_literals;
using test::ScriptedResponse;

class FetchLimits : public ::testing::Test, protected test::HttpWorld {
 protected:
  FetchLimits() {
    configure([](Settings& s) {
      s.receiveRetries = 0;
      s.connectRetries = 0;
    });
  }

  // Runs `work` on its own thread; a run past `budget` is a failure, and a
  // stop request then ends it so that the test does not hang.
  void within(std::chrono::seconds budget, const std::function<void()>& work) {
    auto done = std::async(std::launch::async, work);
    if (done.wait_for(budget) != std::future_status::ready) {
      ADD_FAILURE() << "still fetching after " << budget.count() << " s";
      log.requestStop();
    }
    done.get();
  }

  FileOutcome save(const std::string& address) {
    auto job = makeJobContext();
    job->forumAddress.assign(address);
    FixedText<8192> link;
    TextWriter out = link.writer();
    return client.fetchToFile(*job, buffer, out, false, dir.path() + "/", 7);
  }

  std::vector<std::string> filesLeft() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  bool logged(const std::string& line) const { return view.text().find(line) != std::string::npos; }

  test::TempDir dir;
  PageBlock buffer;
  HttpClient client{settings, log, cookies, 2s};
};

TEST_F(FetchLimits, aCutEndlessOrHeaderlessFileLeavesNothing) {
  configure([](Settings& s) { s.maxFileBytes = 65536; });
  ScriptedResponse endlessBody = ScriptedResponse::raw("HTTP/1.0 200 OK\r\n\r\n");
  endlessBody.pieces.push_back(std::string(4096, 'x'));
  endlessBody.repeatLastPiece = true;
  ScriptedResponse endlessHeader = ScriptedResponse::raw("HTTP/1.0 200 OK\r\n");
  endlessHeader.pieces.push_back("X-Filler: " + std::string(1000, 'h') + "\r\n");
  endlessHeader.repeatLastPiece = true;
  ScriptedResponse cut = ScriptedResponse::raw("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nPARTIAL");
  server.route("/endless.bin", endlessBody);
  server.route("/header.bin", endlessHeader);
  server.route("/cut.bin", cut);
  server.route("/large.bin", ScriptedResponse::ok(std::string(65537, 'y')));
  server.route("/fits.bin", ScriptedResponse::ok(std::string(65536, 'z')));

  struct Case {
    const char* target;
    std::string line;
  };
  const std::string base = server.base();
  const std::vector<Case> cases = {
      {"/endless.bin", "[ X ] File size exceeds 65536 bytes, aborting: " + base + "/endless.bin\r\n"},
      {"/large.bin", "[ X ] File size exceeds 65536 bytes, aborting: " + base + "/large.bin\r\n"},
      {"/header.bin", "[ X ] Response header longer than 65536 bytes, operation aborted: " + base + "/header.bin\r\n"},
      {"/cut.bin", "[ X ] Connection closed after 7 of 100 bytes. Operation aborted\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    FileOutcome outcome = FileOutcome::kSaved;
    within(20s, [&] { outcome = save(base + c.target); });
    EXPECT_EQ(outcome, FileOutcome::kFailed);
    EXPECT_TRUE(filesLeft().empty());
    EXPECT_TRUE(logged(c.line)) << view.text();
    EXPECT_TRUE(logged("[ X ] Error downloading file " + base + c.target + "\r\n"));
  }
  // A page fetch ends at the same header limit.
  within(20s, [&] {
    auto job = makeJobContext();
    job->forumAddress.assign(base + "/header.bin");
    EXPECT_EQ(client.fetchToMemory(*job, buffer, true), 0u);
  });
  EXPECT_EQ(buffer.text()[0], '\0');

  // The limit itself is allowed.
  EXPECT_EQ(save(base + "/fits.bin"), FileOutcome::kSaved);
  EXPECT_EQ(filesLeft(), std::vector<std::string>{"00007 fits.bin"});
}

TEST_F(FetchLimits, aTrickleASilentServerAndAStopEachEndTheFetch) {
  configure([](Settings& s) {
    s.minRateTimeS = 1;
    s.fetchDeadlineS = 600;
  });
  ScriptedResponse trickle = ScriptedResponse::raw("HTTP/1.0 200 OK\r\n\r\n");
  trickle.pieces.push_back("x");
  trickle.pauseBetweenPieces = 200ms;  // far under 1 KiB/s, yet never silent for the receive time-out
  trickle.repeatLastPiece = true;
  server.route("/trickle", trickle);
  std::size_t length = 1;
  within(20s, [&] {
    auto job = makeJobContext();
    job->forumAddress.assign(server.base() + "/trickle");
    length = client.fetchToMemory(*job, buffer, true);
  });
  EXPECT_EQ(length, 0u);
  EXPECT_TRUE(logged("[ X ] Transfer too slow: under 1024 bytes/s for 1 s. Operation aborted\r\n")) << view.text();

  // A server that accepts and says nothing, retried without end but for the
  // deadline of the address.
  configure([](Settings& s) {
    s.minRateTimeS = 0;
    s.receiveRetries = kMaxRetries;
    s.fetchDeadlineS = 3;
  });
  ScriptedResponse silent;
  silent.keepOpen = true;
  server.route("/silent.png", silent);
  FileOutcome outcome = FileOutcome::kSaved;
  within(20s, [&] { outcome = save(server.base() + "/silent.png"); });
  EXPECT_EQ(outcome, FileOutcome::kFailed);
  EXPECT_TRUE(logged("[ X ] Timeout, retrying...\r\n"));
  EXPECT_TRUE(logged("[ X ] Time limit of 3 s passed, giving up " + server.base() + "/silent.png\r\n"));

  // A stop during a file's body ends the wait and removes what was written.
  configure([](Settings& s) { s.fetchDeadlineS = 600; });
  ScriptedResponse stalled = ScriptedResponse::raw("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nHALF");
  stalled.keepOpen = true;
  server.route("/stalled.zip", stalled);
  within(20s, [&] {
    auto stopper = std::async(std::launch::async, [&] {
      while (filesLeft().empty()) std::this_thread::sleep_for(10ms);
      log.requestStop();
    });
    outcome = save(server.base() + "/stalled.zip");
  });
  EXPECT_EQ(outcome, FileOutcome::kStopped);
  EXPECT_TRUE(filesLeft().empty());
}

// A listener that never accepts, whose queue is already full: the system
// drops further connection attempts, so a connect waits until its time-out.
class FullListener {
#ifdef _WIN32
  using Handle = SOCKET;
  static void closeHandle(Handle h) { ::closesocket(h); }
  static void setNonBlocking(Handle h) {
    u_long on = 1;
    ::ioctlsocket(h, FIONBIO, &on);
  }
  using Length = int;
#else
  using Handle = int;
  static void closeHandle(Handle h) { ::close(h); }
  static void setNonBlocking(Handle h) { ::fcntl(h, F_SETFL, ::fcntl(h, F_GETFL) | O_NONBLOCK); }
  using Length = socklen_t;
#endif

 public:
  FullListener() {
    platform::closeSocket(platform::createTcpSocket());  // starts Windows Sockets where it must be
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Length size = sizeof address;
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 0);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    for (Handle& filler : fillers_) {
      filler = ::socket(AF_INET, SOCK_STREAM, 0);
      setNonBlocking(filler);
      ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    std::this_thread::sleep_for(100ms);  // lets the fillers take the queue
  }
  ~FullListener() {
    for (Handle filler : fillers_) closeHandle(filler);
    closeHandle(listener_);
  }
  std::uint16_t port() const { return port_; }

 private:
  Handle listener_{};
  Handle fillers_[3]{};
  std::uint16_t port_ = 0;
};

TEST_F(FetchLimits, aConnectThatIsNeverAnsweredTimesOutOrStops) {
  FullListener full;
  const std::string address = "http://127.0.0.1:" + std::to_string(full.port()) + "/x.png";
  configure([](Settings& s) { s.connectTimeoutS = 1; });
  FileOutcome outcome = FileOutcome::kSaved;
  within(20s, [&] { outcome = save(address); });
  EXPECT_EQ(outcome, FileOutcome::kFailed);
  EXPECT_TRUE(logged("[ X ] Error connecting to 127.0.0.1, code:  (WSAETIMEDOUT")) << view.text();

  // With a long time-out, a stop request ends the wait.
  configure([](Settings& s) { s.connectTimeoutS = 600; });
  within(20s, [&] {
    auto stopper = std::async(std::launch::async, [&] {
      std::this_thread::sleep_for(300ms);
      log.requestStop();
    });
    outcome = save(address);
  });
  EXPECT_EQ(outcome, FileOutcome::kStopped);
}

TEST_F(FetchLimits, aSlowNameLookupEndsAtTheDeadlineOrAStop) {
  // The system's resolver cannot be slowed down on loopback: a stand-in
  // resolver answers only once the test opens its gate.
  struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    int entered = 0;
  };
  auto gate = std::make_shared<Gate>();
  const HostResolver slow = [gate](const char*, std::uint32_t& address) {
    std::unique_lock<std::mutex> lock(gate->mutex);
    ++gate->entered;
    gate->changed.notify_all();
    gate->changed.wait(lock, [&] { return gate->open; });
    address = 0x7F000001;
    return true;
  };
  const auto never = std::chrono::steady_clock::time_point::max();

  // A lookup that ends in time hands over its address, or its failure code.
  std::uint32_t address = 0;
  const HostResolver quick = [](const char*, std::uint32_t& found) {
    found = 0x0A000001;
    return true;
  };
  EXPECT_EQ(resolveWithin("quick.test", address, never, log, quick), ResolveOutcome::kResolved);
  EXPECT_EQ(address, 0x0A000001u);
  const HostResolver unknown = [](const char*, std::uint32_t&) {
    platform::setLastSocketError(11001);
    return false;
  };
  platform::setLastSocketError(0);
  EXPECT_EQ(resolveWithin("unknown.test", address, never, log, unknown), ResolveOutcome::kFailed);
  EXPECT_EQ(platform::lastSocketError(), 11001);

  ResolveOutcome outcome = ResolveOutcome::kResolved;
  within(20s,
         [&] { outcome = resolveWithin("slow.test", address, std::chrono::steady_clock::now() + 300ms, log, slow); });
  EXPECT_EQ(outcome, ResolveOutcome::kTimedOut);

  within(20s, [&] {
    auto stopper = std::async(std::launch::async, [&] {
      std::unique_lock<std::mutex> lock(gate->mutex);
      gate->changed.wait(lock, [&] { return gate->entered == 2; });
      log.requestStop();
    });
    outcome = resolveWithin("slow.test", address, never, log, slow);
  });
  EXPECT_EQ(outcome, ResolveOutcome::kStopped);
  EXPECT_EQ(address, 0x0A000001u);  // the abandoned lookups' answers go nowhere

  std::lock_guard<std::mutex> lock(gate->mutex);
  gate->open = true;
  gate->changed.notify_all();
}

TEST_F(FetchLimits, controlCharactersOfALinkReachNeitherTheRequestNorTheLog) {
  // The file's answer sets one cookie hiding a lone CR and one sound cookie.
  server.route("/a%0D%0AX-Injected:%201.png",
               ScriptedResponse::make("HTTP/1.0 200 OK", "Set-Cookie: a=1\rX-Evil: 2\r\nSet-Cookie: b=2\r\n", "PNG"));
  configure([](Settings& s) { s.userAgent.assign("Agent/1\r\nX-Agent: 3"); });
  EXPECT_EQ(save(server.base() + "/a\r\nX-Injected: 1.png"), FileOutcome::kSaved);
  ASSERT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(
      server.requests()[0].rfind(
          "GET /a%0D%0AX-Injected:%201.png HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n", 0),
      0u);
  EXPECT_TRUE(logged("* Downloading file " + server.base() + "/a%0D%0AX-Injected: 1.png ...\r\n")) << view.text();
  EXPECT_FALSE(logged("\nX-Injected"));

  // The next request carries the sound cookie alone, and the user agent cut at its line break.
  server.route("/page", ScriptedResponse::ok("<html></html>"));
  auto job = makeJobContext();
  job->forumAddress.assign(server.base() + "/page");
  EXPECT_NE(client.fetchToMemory(*job, buffer, true), 0u);
  const std::string request = server.requests().back();
  EXPECT_NE(request.find("\r\nCookie: b=2\r\nUser-Agent: Agent/1\r\nAccept-Encoding"), std::string::npos) << request;
  EXPECT_EQ(request.find("X-Evil"), std::string::npos);
  EXPECT_EQ(request.find("X-Agent"), std::string::npos);
}

}  // namespace
}  // namespace quillstash
