// SPDX-License-Identifier: MIT
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/listener.h"
#include "support/process.h"

namespace quillstash::platform {
namespace {

using namespace std::chrono_literals;

// A listening loopback socket on an ephemeral port.
class Listener {
 public:
  Listener() { EXPECT_NE(socket_ = listenOnLoopback(0, port_), kInvalidSocket); }
  ~Listener() { close(); }
  void close() {
    closeSocket(socket_);
    socket_ = kInvalidSocket;
  }
  SocketHandle accept() {
    if (waitReadable(socket_, std::chrono::seconds(10)) != WaitResult::kReadable) return kInvalidSocket;
    return acceptConnection(socket_);
  }
  std::uint16_t port() const { return port_; }

 private:
  SocketHandle socket_ = kInvalidSocket;
  std::uint16_t port_ = 0;
};

SocketHandle connectTo(std::uint16_t port) {
  SocketHandle s = createTcpSocket();
  EXPECT_NE(s, kInvalidSocket);
  EXPECT_TRUE(setBlocking(s, true));
  EXPECT_TRUE(connectSocket(s, Ipv4Endpoint{0x7F000001, port}));
  return s;
}

TEST(Resolve, readsDottedAddressesAndLooksUpNames) {
  std::uint32_t address = 0;
  EXPECT_TRUE(parseDottedAddress("127.0.0.1", address));
  EXPECT_EQ(address, 0x7F000001u);
  EXPECT_FALSE(parseDottedAddress("localhost", address));
  EXPECT_FALSE(parseDottedAddress("1.2.3", address));

  address = 0;
  ASSERT_TRUE(resolveHost("localhost", address));
  EXPECT_EQ(address >> 24, 127u);
}

TEST(Resolve, unknownHostGivesAResolverCode) {
  std::uint32_t address = 0;
  EXPECT_FALSE(resolveHost("no-such-host.invalid", address));
  int code = lastSocketError();
  EXPECT_GE(code, 11001);
  EXPECT_LE(code, 11004);

  EXPECT_FALSE(resolveHost("", address));
  EXPECT_EQ(lastSocketError(), 11001);
}

TEST(Connect, refusedConnectionReportsTheWinsockCode) {
  std::uint16_t port;
  {
    Listener listener;
    port = listener.port();
  }
  SocketHandle s = createTcpSocket();
  ASSERT_NE(s, kInvalidSocket);
  EXPECT_FALSE(connectSocket(s, Ipv4Endpoint{0x7F000001, port}));
  EXPECT_EQ(lastSocketError(), 10061);
  closeSocket(s);
}

TEST(Exchange, sendsReceivesAndSeesTheClose) {
  Listener listener;
  std::string received;
  std::thread server([&] {
    SocketHandle peer = listener.accept();
    char buffer[64];
    long got = waitReadable(peer, 5000ms) == WaitResult::kReadable ? receiveBytes(peer, buffer, sizeof buffer) : -1;
    if (got > 0) received.assign(buffer, static_cast<std::size_t>(got));
    sendBytes(peer, "hello", 5);
    closeSocket(peer);
  });

  SocketHandle s = connectTo(listener.port());
  EXPECT_EQ(sendBytes(s, "GET", 3), 3);
  std::string reply;
  for (;;) {
    ASSERT_EQ(waitReadable(s, 5000ms), WaitResult::kReadable);
    std::size_t waiting = 0;
    ASSERT_TRUE(bytesWaiting(s, waiting));
    if (waiting == 0) break;  // the peer closed
    char buffer[64];
    long got = receiveBytes(s, buffer, sizeof buffer);
    ASSERT_GT(got, 0);
    reply.append(buffer, static_cast<std::size_t>(got));
  }
  server.join();
  closeSocket(s);
  EXPECT_EQ(received, "GET");
  EXPECT_EQ(reply, "hello");
}

TEST(Exchange, silentPeerTimesOutAndResetIsAReceiveError) {
  Listener listener;
  SocketHandle peer = kInvalidSocket;
  std::thread server([&] { peer = listener.accept(); });
  SocketHandle s = connectTo(listener.port());
  server.join();

  EXPECT_EQ(waitReadable(s, 50ms), WaitResult::kTimedOut);
  if (test::runningUnderWine()) {
    closeSocket(s);
    closeSocket(peer);
    GTEST_SKIP() << "wine reports a reset as an orderly close";
  }

  resetOnClose(peer);
  closeSocket(peer);
  ASSERT_EQ(waitReadable(s, 5000ms), WaitResult::kReadable);
  std::size_t waiting = 0;
  char buffer[16];
  bool failed = !bytesWaiting(s, waiting) || receiveBytes(s, buffer, sizeof buffer) < 0;
  EXPECT_TRUE(failed);
  EXPECT_EQ(lastSocketError(), 10054);
  closeSocket(s);
}

// True once the peer `socket` sees the connection closed (a receive gives 0).
bool peerSeesClose(SocketHandle socket) {
  // Fails instead of hanging when the close never comes.
  if (waitReadable(socket, std::chrono::seconds(5)) != WaitResult::kReadable) return false;
  char byte;
  return receiveBytes(socket, &byte, 1) == 0;
}

TEST(OwnedSocket, closesWhenDestroyedOrReplacedAndMovesWithoutClosing) {
  Listener listener;
  Socket first(connectTo(listener.port()));
  const SocketHandle firstPeer = listener.accept();
  Socket second(connectTo(listener.port()));
  const SocketHandle secondPeer = listener.accept();

  Socket moved(std::move(first));
  EXPECT_FALSE(first.isOpen());
  EXPECT_TRUE(moved.isOpen());
  EXPECT_EQ(sendBytes(moved.handle(), "x", 1), 1);  // the move kept the connection
  char byte = 0;
  EXPECT_EQ(receiveBytes(firstPeer, &byte, 1), 1);

  moved = std::move(second);  // the connection it held ends
  EXPECT_TRUE(peerSeesClose(firstPeer));
  { Socket last(std::move(moved)); }  // and this one with its owner
  EXPECT_TRUE(peerSeesClose(secondPeer));
  EXPECT_FALSE(openTcpSocket().handle() == kInvalidSocket);
  closeSocket(firstPeer);
  closeSocket(secondPeer);
}

TEST(Errors, lastErrorBelongsToTheCallingThread) {
  setLastSocketError(10060);
  int other = 0;
  std::thread([&] {
    setLastSocketError(10061);
    other = lastSocketError();
  }).join();
  EXPECT_EQ(other, 10061);
  EXPECT_EQ(lastSocketError(), 10060);
}

}  // namespace
}  // namespace quillstash::platform
