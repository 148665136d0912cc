// SPDX-License-Identifier: MIT
#include "http/socket_errors.h"

#include <algorithm>
#include <iterator>

#include "platform/socket.h"
#include "text/strings.h"

namespace quillstash {

namespace {

struct SocketErrorEntry {
  int code;
  const char* text;
};

// Sorted by code for the binary search below.
constexpr SocketErrorEntry kSocketErrorTable[] = {
    {10004, "WSAEINTR - The (blocking) call was canceled through WSACancelBlockingCall."},
    {10013,
     "WSAEACCES - Attempt to connect datagram socket to broadcast address failed because setsockopt "
     "SO_BROADCAST is not enabled."},
    {10014,
     "WSAEFAULT - The name or the namelen argument is not a valid part of the user address space, the "
     "namelen argument is too small, or the name argument contains incorrect address format for the "
     "associated address family."},
    {10022,
     "WSAEINVAL - The parameter s is a listening socket, or the destination address specified is not "
     "consistent with that of the constrained group the socket belongs to."},
    {10035,
     "WSAEWOULDBLOCK - The socket is marked as nonblocking and the connection cannot be completed "
     "immediately."},
    {10036,
     "WSAEINPROGRESS - A blocking Windows Sockets 1.1 call is in progress, or the service provider is still "
     "processing a callback function."},
    {10037,
     "WSAEALREADY - A nonblocking connect call is in progress on the specified socket. Note: In order to "
     "preserve backward compatibility, this error is reported as WSAEINVAL to Windows Sockets 1.1 "
     "applications that link to either WINSOCK.DLL or WSOCK32.DLL."},
    {10038, "WSAENOTSOCK - The descriptor is not a socket."},
    {10040,
     "WSAEMSGSIZE - The socket is message oriented, and the message is larger than the maximum supported by "
     "the underlying transport."},
    {10045,
     "WSAEOPNOTSUPP - MSG_OOB was specified, but the socket is not stream style such as type SOCK_STREAM, "
     "out-of-band data is not supported in the communication domain associated with this socket, or the "
     "socket is unidirectional and supports only receive operations."},
    {10047, "WSAEAFNOSUPPORT - Addresses in the specified family cannot be used with this socket."},
    {10048, "WSAEADDRINUSE - The specified address is already in use."},
    {10049, "WSAEADDRNOTAVAIL - The specified address is not available from the local machine."},
    {10050, "WSAENETDOWN - The network subsystem has failed."},
    {10051, "WSAENETUNREACH - The network cannot be reached from this host at this time."},
    {10052, "WSAENETRESET - The connection has been broken due to the remote host resetting."},
    {10053,
     "WSAECONNABORTED - The virtual circuit was terminated due to a time-out or other failure. The "
     "application should close the socket as it is no longer usable."},
    {10054,
     "WSAECONNRESET - The virtual circuit was reset by the remote side executing a \"hard\" or \"abortive\" "
     "close. For UPD sockets, the remote host was unable to deliver a previously sent UDP datagram and "
     "responded with a \"Port Unreachable\" ICMP packet."},
    {10055, "WSAENOBUFS - No buffer space is available. The socket cannot be connected."},
    {10056, "WSAEISCONN - The socket is already connected."},
    {10057, "WSAENOTCONN - The socket is not connected."},
    {10058,
     "WSAESHUTDOWN - The socket has been shut down; it is not possible to send on a socket after shutdown "
     "has been invoked with how set to SD_SEND or SD_BOTH."},
    {10060, "WSAETIMEDOUT - Attempt to connect timed out without establishing a connection."},
    {10061, "WSAECONNREFUSED - The attempt to connect was forcefully rejected."},
    {10065, "WSAEHOSTUNREACH - The remote host cannot be reached from this host at this time."},
    {10093, "WSANOTINITIALISED - A successful WSAStartup must occur before using this function."},
    {11001, "WSAHOST_NOT_FOUND - Authoritative Answer Host not found."},
    {11002, "WSATRY_AGAIN - Non-Authoritative Host not found, or server failure."},
    {11003, "WSANO_RECOVERY - Nonrecoverable error occurred."},
    {11004, "WSANO_DATA - Valid name, no data record of requested type."},
};

static_assert(std::size(kSocketErrorTable) == 30);

}  // namespace

const char* socketErrorText(int code) {
  const auto* end = std::end(kSocketErrorTable);
  const auto* entry = std::lower_bound(std::begin(kSocketErrorTable), end, code,
                                       [](const SocketErrorEntry& e, int c) { return e.code < c; });
  return entry != end && entry->code == code ? entry->text : nullptr;
}

int appendSocketError(TextWriter& out) {
  const int code = platform::lastSocketError();
  if (const char* text = socketErrorText(code)) {
    appendText(out, " (");
    appendText(out, text);
    appendText(out, ")");
  }
  return code;
}

}  // namespace quillstash
