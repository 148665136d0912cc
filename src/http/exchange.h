// SPDX-License-Identifier: MIT
#pragma once

// Pieces shared by the fetches and the login: splitting an address into host,
// port and path, resolving the server or the proxy, waiting for data while
// watching the stop request, and composing log lines in a job's scratch text.
// All of them work on the caller's HttpScratch and allocate nothing.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "core/activity_log.h"
#include "core/settings.h"
#include "http/connection.h"
#include "http/cookie_jar.h"
#include "platform/socket.h"
#include "text/address.h"
#include "text/text_writer.h"

namespace quillstash {

// The work areas of one fetch or login: the address split into host and
// path, the server it goes to, the request and log-line texts, the connection
// and the file a fetch into a file writes. Made zero-filled per fetch
// (makeHttpScratch) by the HTTP layer; one thread.
struct HttpScratch {
  Connection connection;                 // connection in progress, closed with the scratch
  platform::Ipv4Endpoint serverAddress;  // where it goes
  bool secure = false;                   // the address is https
  std::uint16_t addressPort = 80;        // the address's own port (a proxy's may differ)
  FixedText<8192> host;                  // host name of the address, no port
  FixedText<8192> path;                  // request path of the address, query included
  FixedText<8192> savePath;              // file written by a fetch into a file
  FixedText<8192> requestText;           // the request being sent
  FixedText<8192> messageText;           // scratch for the log lines
};

inline std::unique_ptr<HttpScratch> makeHttpScratch() { return std::make_unique<HttpScratch>(); }

// Splits `address` into http.host, the port and http.path, sets http.secure
// for https, and clears http.serverAddress to that port (the scheme's default
// unless the address names one; only the low 16 bits of a named port count).
// Returns false when the host or the path does not fit its 8,192-byte text;
// nothing is fetched then.
bool splitAddress(const char* address, HttpScratch& http);

// A name lookup that blocks as long as the system's resolver takes:
// platform::resolveHost, or a stand-in in tests. False with the calling
// thread's last socket error set when the name is not found.
using HostResolver = std::function<bool(const char* name, std::uint32_t& address)>;

enum class ResolveOutcome { kResolved, kFailed, kTimedOut, kStopped };

// Resolves `name` into `address` by `deadline`. A dotted address is read at
// once; a host name is looked up on a short-lived thread of its own while this
// thread waits in short slices that look at the stop request and the
// deadline, so that neither waits for a slow resolver: the lookup is then left
// to end alone and its answer is dropped. kFailed sets the calling thread's
// last socket error to the resolver's code, kTimedOut to 11002.
ResolveOutcome resolveWithin(const char* name, std::uint32_t& address, std::chrono::steady_clock::time_point deadline,
                             const ActivityLog& log, const HostResolver& resolver = platform::resolveHost);

// Resolves the server into http.serverAddress (with resolveWithin): the proxy
// host of settings.proxyAddress when `viaProxy` (its port, when it names one,
// replaces the address's port), else http.host. On kFailed the calling
// thread's last socket error holds the code.
ResolveOutcome resolveServer(HttpScratch& http, const Settings& settings, bool viaProxy,
                             std::chrono::steady_clock::time_point deadline, const ActivityLog& log);

enum class WaitOutcome { kReadable, kTimedOut, kFailed, kStopped };

// Waits until `socket` is readable, at most `timeout`, looking at the stop
// request between short slices so that closing the program never waits for
// the whole time-out.
WaitOutcome waitForData(platform::SocketHandle socket, std::chrono::milliseconds timeout, const ActivityLog& log);

enum class ConnectOutcome { kConnected, kTimedOut, kFailed, kStopped };

// Connects `socket` to `endpoint` without blocking, waiting at most `timeout`
// in short slices that look at the stop request. kFailed leaves the calling
// thread's last socket error set; kTimedOut sets it to 10060. The socket is
// blocking again when this returns kConnected.
ConnectOutcome connectWithin(platform::SocketHandle socket, const platform::Ipv4Endpoint& endpoint,
                             std::chrono::milliseconds timeout, const ActivityLog& log);

// The "User-Agent: ...\r\n" line of every request.
void appendUserAgentLine(TextWriter& out, const Settings& settings);

// Where a request for `address` (split into http) goes, for the cookie jar.
CookieJar::Origin cookieOrigin(const HttpScratch& http, const char* address);

// Opens a tunnel through the proxy that http.connection is connected to:
// sends CONNECT for http.host and http.addressPort and reads the proxy's
// answer header. True when the proxy answered 2xx; otherwise the reason is
// logged (plain words, or the proxy's status line).
bool openProxyTunnel(HttpScratch& http, const Settings& settings, std::chrono::milliseconds timeout, ActivityLog& log);

// Runs the TLS handshake on http.connection for http.host. False when it
// failed (logged in plain words: which certificate check refused, or that the
// handshake failed), timed out (logged) or was stopped. A failure is final:
// it is not a transient receive error to retry.
bool startTls(HttpScratch& http, const platform::TlsClientContext& context, std::chrono::milliseconds timeout,
              ActivityLog& log);

// Sleeps `milliseconds` in short steps; returns false as soon as a stop is
// requested.
bool sleepUnlessStopped(std::uint32_t milliseconds, const ActivityLog& log);

// Sends all of `data` (one send call in practice); false on a socket error.
bool sendAll(platform::SocketHandle socket, const char* data, std::size_t length);

// Position just past the first CR LF CR LF in [begin, begin + length), or
// nullptr. Binary safe.
const char* findBlankLine(const char* begin, std::size_t length);

// Decimal text of a 64-bit count.
void appendCount(TextWriter& out, std::uint64_t value);

// A log line composed in http.messageText. Text that does not fit is cut, and
// the line always ends with CR LF. Control characters in the text (which
// addresses and server answers may carry) are shown as %XX, so that no byte
// from a page can start a log line of its own.
class LogLineBuilder {
 public:
  explicit LogLineBuilder(HttpScratch& http);
  TextWriter& out() { return writer_; }
  LogLineBuilder& operator<<(std::string_view text) {
    writer_.append(text);
    return *this;
  }
  // Adds CR LF and hands the line to the log.
  void send(ActivityLog& log);

 private:
  FixedText<8192>& text_;
  TextWriter writer_;
};

}  // namespace quillstash
