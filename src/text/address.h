// SPDX-License-Identifier: MIT
#pragma once

// The address rules in one place: where a link ends, which query parameters
// are session ids, how an address splits into host, port and path, and how a
// link found on a page becomes the address that is fetched (resolved against
// a base, the link's own host dropped, "&amp;" decoded, session ids left out).
// The variants differ where the pages they read differ; each is named for what
// it does. Pure functions over NUL-terminated texts; outputs go through a
// bounded TextWriter, whose truncated() flag tells the caller the result did
// not fit.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/text_writer.h"

namespace quillstash {

// --- Where a link ends -------------------------------------------------------

// An href or src value as written in a tag ends at NUL, a quote or '>'.
bool isLinkEnd(char c);

// As isLinkEnd, and '#' too: the fragment is not part of what is fetched.
bool isLinkEndOrFragment(char c);

// A link kept in a list (no tag around it) ends at NUL or a quote.
bool isStoredLinkEnd(char c);

// --- Session ids ---------------------------------------------------------------

// "sid=" or "phpsessi..." (any letter case) at `p`: a session id whatever its value.
bool startsNamedSessionId(const char* p);

// "s=" (any letter case) followed by more than 8 hexadecimal digits: the rule
// of link comparison, where short values (s=1, posts=20) are ordinary.
bool startsLongHexSessionId(const char* p);

// --- Parts of an address -------------------------------------------------------

// The length of a leading "http://" (7) or "https://" (8), any letter case;
// 0 when `text` starts with neither.
std::size_t schemeLength(const char* text);

// True when `text` starts with "http://" or "https://" in any letter case.
bool hasHttpScheme(const char* text);

// True when `address` starts with "https://" (any letter case): fetched over TLS.
bool isSecureAddress(const char* address);

// The port of a scheme when the address names none: 443 for https, 80 for http.
std::uint16_t defaultPort(bool secure);

// The host of `address`: after a leading "http" or "https" (any case) and its
// run of ':' and '/', up to the next '/' or the end. The port, when named, is included.
std::string_view hostOf(const char* address);

// Splits `address` (after "http://" or "https://" when present) into the host
// (up to ':', '/' or '\\'), the port (the scheme's default unless named; the
// low 16 bits of a named one) and the rest as the path, query included. False
// when host or path did not fit.
bool splitAddress(const char* address, TextWriter& host, std::uint16_t& port, TextWriter& path);

// --- Addresses the user types -------------------------------------------------

// Checks a forum address before anything is fetched or written: the scheme is
// http:// or https:// (missing means http://), there is a host, a named port is
// 1-65535, and there are no blanks or control characters, no user@host and no
// IPv6 literal (the network layer is IPv4 only). Empty when the address is
// fine, else a short text naming the problem. Looks nothing up.
std::string_view checkForumAddress(std::string_view address);

// Checks a proxy address (HOST[:PORT]): a named port is 1-65535. Empty when
// it is fine, else a short text naming the problem.
std::string_view checkProxyAddress(std::string_view proxy);

// --- Requests ----------------------------------------------------------------------

// Appends `text` for a request line or a header value: control characters,
// blanks and DEL (0x00-0x20, 0x7F) become %XX, so that bytes taken from a page
// can neither split the request line nor start a header line of their own.
void appendRequestText(std::string_view text, TextWriter& out);

// --- Clean copies ----------------------------------------------------------------

// Copies the link at `link` up to isLinkEndOrFragment: "&amp;" becomes '&',
// named session ids and "s=" session ids (lower-case 's', a hexadecimal run of
// at least 7 from the value's second character) are left out, each up to its
// '&'. A '&' left at the end of the writer's whole text is removed.
void appendLinkWithoutSessionIds(const char* link, TextWriter& out);

// --- Resolving links ---------------------------------------------------------------
//
// Every resolver below fetches from the base's host: a link naming another
// host ("http://other/...") keeps only its path. A link from the root
// ('/...') goes after the base's host; a relative one after the base's last
// '/' (after the host), or after the host and a '/' when the base has no path.
// Each returns where it stopped reading `link`.

// Links of the forum lists: '#' ends the link, named session ids are left out.
// A base without a path loses its query and fragment before the '/'.
const char* appendResolvedForumLink(std::string_view base, const char* link, TextWriter& out);

// Links of the topic lists: '#' is part of the link, named session ids are left out.
// The base is cut as for appendResolvedForumLink.
const char* appendResolvedTopicLink(std::string_view base, const char* link, TextWriter& out);

// As appendResolvedTopicLink, and "s=" hexadecimal session ids are left out too
// (topics taken by walking a table, whose links carry them).
const char* appendResolvedTopicTableLink(std::string_view base, const char* link, TextWriter& out);

// Next-page links of a topic: cleaned as appendLinkWithoutSessionIds. A base
// without a path is kept whole before the '/'.
void appendResolvedPageLink(const char* base, const char* link, TextWriter& out);

// Attachment links: an address starting with "http" is taken whole (its own
// host kept); others resolve against `base` as above. Cleaned as
// appendLinkWithoutSessionIds.
void appendResolvedAttachment(const char* base, const char* link, TextWriter& out);

// A form's action value [action, end): resolved against `base` like
// appendResolvedPageLink into `out`; "&amp;" becomes '&' and session ids
// (named, or "s=" in any case with 7 hexadecimal digits after the value's
// first character) are left out, so that a login does not carry a session the
// server made for an anonymous visitor. A '&' left at the end of the action is removed.
void appendResolvedFormAction(const char* base, const char* action, const char* end, TextWriter& out);

// The address a redirect's Location value names: a value starting with '/'
// stays on the scheme (https when `secure`), `host` and `port` (written when
// not the scheme's default) of the page; any other is taken as it is.
void appendRedirectTarget(bool secure, std::string_view host, std::uint16_t port, std::string_view location,
                          TextWriter& out);

// `address` as an absolute address: "http://" in front unless it starts with "http".
void appendAbsoluteAddress(const char* address, TextWriter& out);

}  // namespace quillstash
