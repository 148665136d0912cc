// SPDX-License-Identifier: MIT
#include "http/socket_errors.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/socket.h"
#include "text/strings.h"

namespace quillstash {
namespace {

std::string errorLine(int code) {
  char buffer[512];
  TextWriter out(buffer, sizeof buffer);
  appendText(out, "[ X ] Error connecting to host, code: ");
  platform::setLastSocketError(code);
  EXPECT_EQ(appendSocketError(out), code);
  return std::string(out.view());
}

TEST(SocketErrors, knownCodeIsAppendedInParentheses) {
  EXPECT_EQ(errorLine(10061),
            "[ X ] Error connecting to host, code:  (WSAECONNREFUSED - The attempt to connect was forcefully "
            "rejected.)");
}

TEST(SocketErrors, unknownCodeAppendsNothing) {
  EXPECT_EQ(errorLine(10064), "[ X ] Error connecting to host, code: ");
  EXPECT_EQ(errorLine(0), "[ X ] Error connecting to host, code: ");
  EXPECT_EQ(socketErrorText(10064), nullptr);
  EXPECT_EQ(socketErrorText(-1), nullptr);
}

TEST(SocketErrors, textsKeepTheirInnerQuotes) {
  EXPECT_STREQ(socketErrorText(10054),
               "WSAECONNRESET - The virtual circuit was reset by the remote side executing a \"hard\" or "
               "\"abortive\" close. For UPD sockets, the remote host was unable to deliver a previously sent "
               "UDP datagram and responded with a \"Port Unreachable\" ICMP packet.");
  EXPECT_STREQ(socketErrorText(11001), "WSAHOST_NOT_FOUND - Authoritative Answer Host not found.");
}

TEST(SocketErrors, appendingStopsAtTheBufferBound) {
  char buffer[8];
  TextWriter out(buffer, sizeof buffer);
  platform::setLastSocketError(10060);
  appendSocketError(out);
  out.terminate();
  EXPECT_STREQ(buffer, " (WSAET");
  EXPECT_TRUE(out.truncated());
}

}  // namespace
}  // namespace quillstash
