// SPDX-License-Identifier: MIT
#include "text/address.h"

#include <algorithm>
#include <cstring>

#include "text/strings.h"

namespace quillstash {

namespace {

// An "s=" value needs more hexadecimal digits than this to count as a session
// id when links are compared.
constexpr int kShortSValueDigits = 8;

// The hexadecimal run, from the value's second character, that makes an "s="
// parameter a session id when a link is cleaned.
constexpr std::size_t kHexSessionRun = 7;

std::size_t hexRun(const char* p) {
  std::size_t n = 0;
  while (isHexDigit(p[n])) ++n;
  return n;
}

// "s=" (the 's' checked by `isS`) whose value is still inside the link at its
// first character and has a hexadecimal run of kHexSessionRun from its second.
template <typename AtEnd>
bool startsHexSessionId(const char* p, bool foldS, AtEnd atEnd) {
  const bool s = foldS ? foldedEqual(p[0], 's') : p[0] == 's';
  return s && p[1] == '=' && !atEnd(p + 2) && hexRun(p + 3) >= kHexSessionRun;
}

// Copies from `p` until atEnd: "&amp;" becomes '&', and every parameter that
// isSessionId accepts is skipped up to its '&'. Returns where it stopped.
template <typename AtEnd, typename IsSessionId>
const char* copyWithoutSessionIds(const char* p, AtEnd atEnd, IsSessionId isSessionId, TextWriter& out) {
  while (!atEnd(p)) {
    if (*p == '&') {
      out.put('&');
      p += startsWithFolded(p + 1, "amp;") ? 5 : 1;
    } else if (isSessionId(p)) {
      while (*p != '&' && !atEnd(p)) ++p;
    } else {
      out.put(*p++);
    }
  }
  return p;
}

// Removes a '&' left at the end of the writer's text, from `floor` on.
void dropTrailingAmpersand(TextWriter& out, std::size_t floor = 0) {
  if (out.length() > floor && out.begin()[out.length() - 1] == '&') out.rewind(out.length() - 1);
}

// After "http://" and the host of a link: the link's own host is dropped.
template <typename AtEnd>
const char* skipLinkHost(const char* p, AtEnd atEnd) {
  const std::size_t scheme = schemeLength(p);
  if (scheme == 0) return p;
  p += scheme;
  while (*p != '/' && !atEnd(p)) ++p;
  return p;
}

// How much of a base goes before a link's text.
struct BaseCut {
  std::size_t keep = 0;
  bool addSlash = false;
};

// The host ends at the first '/' after "http://"; a base without a path is
// kept whole (query included) before the added '/'.
BaseCut cutBaseKeepingQuery(const char* base, bool fromRoot) {
  const std::size_t hostStart = schemeLength(base);
  std::size_t hostEnd = hostStart;
  while (base[hostEnd] != '\0' && base[hostEnd] != '/') ++hostEnd;
  BaseCut cut{hostEnd, false};
  if (!fromRoot) {
    for (std::size_t i = hostEnd; base[i] != '\0'; ++i) {
      if (base[i] == '/') cut.keep = i + 1;
    }
    cut.addSlash = cut.keep == hostEnd;
  }
  return cut;
}

// As cutBaseKeepingQuery, but a base without a path loses its query and fragment.
BaseCut cutBaseDroppingQuery(std::string_view base, bool fromRoot) {
  std::size_t hostStart = 0;
  if (base.size() >= 7) hostStart = std::min(schemeLength(base.data()), base.size());
  if (fromRoot) {
    std::size_t slash = base.find('/', hostStart);
    return {slash == std::string_view::npos ? base.size() : slash, false};
  }
  std::size_t slash = base.rfind('/');
  if (slash != std::string_view::npos && slash >= hostStart) return {slash + 1, false};
  std::size_t keep = base.size();
  if (std::size_t cut = base.find_first_of("?#", hostStart); cut != std::string_view::npos) keep = cut;
  return {keep, true};
}

void appendBase(std::string_view base, BaseCut cut, TextWriter& out) {
  out.append(base.substr(0, cut.keep));
  if (cut.addSlash) out.put('/');
}

const auto kAtLinkEnd = [](const char* p) { return isLinkEnd(*p); };
const auto kAtLinkEndOrFragment = [](const char* p) { return isLinkEndOrFragment(*p); };

template <typename AtEnd>
const char* appendResolvedListLink(std::string_view base, const char* link, AtEnd atEnd, bool dropHexS,
                                   TextWriter& out) {
  const char* p = skipLinkHost(link, kAtLinkEnd);
  appendBase(base, cutBaseDroppingQuery(base, *p == '/'), out);
  auto isSessionId = [&](const char* q) {
    return startsNamedSessionId(q) || (dropHexS && startsHexSessionId(q, false, atEnd));
  };
  p = copyWithoutSessionIds(p, atEnd, isSessionId, out);
  dropTrailingAmpersand(out);
  return p;
}

}  // namespace

bool isLinkEnd(char c) { return c == '\0' || c == '"' || c == '\'' || c == '>'; }

bool isLinkEndOrFragment(char c) { return isLinkEnd(c) || c == '#'; }

bool isStoredLinkEnd(char c) { return c == '\0' || c == '"' || c == '\''; }

bool startsNamedSessionId(const char* p) { return startsWithFolded(p, "sid=") || startsWithFolded(p, "phpsessi"); }

bool startsLongHexSessionId(const char* p) {
  if (!startsWithFolded(p, "s=")) return false;
  const char* digits = p + 2;
  int count = 0;
  while (count <= kShortSValueDigits && isHexDigit(digits[count])) ++count;
  return count > kShortSValueDigits;
}

std::size_t schemeLength(const char* text) {
  if (!startsWithFolded(text, "http")) return 0;
  const std::size_t colon = foldedEqual(text[4], 's') ? 5 : 4;
  return text[colon] == ':' && text[colon + 1] == '/' && text[colon + 2] == '/' ? colon + 3 : 0;
}

bool hasHttpScheme(const char* text) { return schemeLength(text) != 0; }

bool isSecureAddress(const char* address) { return schemeLength(address) == 8; }

std::uint16_t defaultPort(bool secure) { return secure ? 443 : 80; }

std::string_view hostOf(const char* address) {
  const char* p = address;
  if (startsWithFolded(p, "http")) {
    p += 4;
    if (foldedEqual(*p, 's') && p[1] == ':') ++p;
    while (*p == ':' || *p == '/') ++p;
  }
  const char* end = p;
  while (*end != '\0' && *end != '/') ++end;
  return std::string_view(p, static_cast<std::size_t>(end - p));
}

bool splitAddress(const char* address, TextWriter& host, std::uint16_t& port, TextWriter& path) {
  const char* pos = address + schemeLength(address);
  while (*pos != '\0' && *pos != ':' && *pos != '/' && *pos != '\\') host.put(*pos++);
  host.terminate();
  port = defaultPort(isSecureAddress(address));
  if (*pos == ':') {
    ++pos;
    port = static_cast<std::uint16_t>(parseDecimal(pos) & 0xFFFF);
  }
  appendText(path, pos);
  path.terminate();
  return !host.truncated() && !path.truncated();
}

void appendLinkWithoutSessionIds(const char* link, TextWriter& out) {
  auto isSessionId = [](const char* p) {
    return startsNamedSessionId(p) || startsHexSessionId(p, false, kAtLinkEndOrFragment);
  };
  copyWithoutSessionIds(link, kAtLinkEndOrFragment, isSessionId, out);
  dropTrailingAmpersand(out);
}

const char* appendResolvedForumLink(std::string_view base, const char* link, TextWriter& out) {
  return appendResolvedListLink(base, link, kAtLinkEndOrFragment, false, out);
}

const char* appendResolvedTopicLink(std::string_view base, const char* link, TextWriter& out) {
  return appendResolvedListLink(base, link, kAtLinkEnd, false, out);
}

const char* appendResolvedTopicTableLink(std::string_view base, const char* link, TextWriter& out) {
  return appendResolvedListLink(base, link, kAtLinkEnd, true, out);
}

void appendResolvedPageLink(const char* base, const char* link, TextWriter& out) {
  const char* p = skipLinkHost(link, kAtLinkEndOrFragment);
  appendBase(base, cutBaseKeepingQuery(base, *p == '/'), out);
  appendLinkWithoutSessionIds(p, out);
}

void appendResolvedAttachment(const char* base, const char* link, TextWriter& out) {
  if (startsWithFolded(link, "http")) {
    // Taken whole.
  } else if (link[0] == '/') {
    const char* b = base;
    if (startsWithFolded(b, "http")) {
      out.append(std::string_view(b, 4));
      b += 4;
      if (foldedEqual(*b, 's') && b[1] == ':') out.put(*b++);
      if (*b == ':') out.put(*b++);
      for (int i = 0; i < 2 && *b == '/'; ++i) out.put(*b++);
    }
    while (*b != '\0' && *b != '/') out.put(*b++);
  } else {
    std::string_view host = hostOf(base);
    const char* hostEnd = host.data() + host.size();
    const char* lastSlash = nullptr;
    for (const char* b = hostEnd; *b != '\0'; ++b) {
      if (*b == '/') lastSlash = b;
    }
    if (lastSlash == nullptr) {
      out.append(std::string_view(base, static_cast<std::size_t>(hostEnd - base)));
      out.put('/');
    } else {
      out.append(std::string_view(base, static_cast<std::size_t>(lastSlash + 1 - base)));
    }
  }
  appendLinkWithoutSessionIds(link, out);
}

void appendResolvedFormAction(const char* base, const char* action, const char* end, TextWriter& out) {
  auto atEnd = [end](const char* p) { return p >= end; };
  const char* p = action;
  if (const std::size_t scheme = schemeLength(p); scheme != 0 && p + scheme <= end) {
    p += scheme;
    while (p < end && *p != '/') ++p;
  }
  appendBase(base, cutBaseKeepingQuery(base, p < end && *p == '/'), out);
  const std::size_t start = out.length();
  auto isSessionId = [&](const char* q) { return startsNamedSessionId(q) || startsHexSessionId(q, true, atEnd); };
  copyWithoutSessionIds(p, atEnd, isSessionId, out);
  dropTrailingAmpersand(out, start);
}

void appendRedirectTarget(bool secure, std::string_view host, std::uint16_t port, std::string_view location,
                          TextWriter& out) {
  if (!location.empty() && location[0] == '/') {
    out.append(secure ? "https://" : "http://");
    out.append(host);
    if (port != defaultPort(secure)) {
      out.put(':');
      appendDecimal(out, port);
    }
  }
  out.append(location);
}

void appendAbsoluteAddress(const char* address, TextWriter& out) {
  if (!startsWithFolded(address, "http")) out.append("http://");
  appendText(out, address);
}

namespace {

bool isBlankOrControl(unsigned char c) { return c <= 0x20 || c == 0x7F; }

}  // namespace

namespace {

// A port as typed: 1 to 65535 in decimal digits.
bool isPortNumber(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  std::uint32_t value = 0;
  for (char c : port) {
    if (!isDecimalDigit(c)) return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value >= 1 && value <= 65535;
}

}  // namespace

std::string_view checkForumAddress(std::string_view address) {
  if (address.empty()) return "the forum address is empty";
  for (char c : address) {
    if (isBlankOrControl(static_cast<unsigned char>(c)))
      return "the forum address contains a blank or a control character";
  }
  std::string_view rest = address;
  const std::size_t schemeEnd = address.find("://");
  if (schemeEnd != std::string_view::npos && address.find_first_of("/?#") > schemeEnd) {
    const std::string_view scheme = address.substr(0, schemeEnd);
    auto named = [&](std::string_view word) {
      if (scheme.size() != word.size()) return false;
      for (std::size_t i = 0; i < word.size(); ++i) {
        if (static_cast<char>(scheme[i] | 0x20) != word[i]) return false;
      }
      return true;
    };
    if (!named("http") && !named("https")) return "the forum address must start with http:// or https://";
    rest = address.substr(schemeEnd + 3);
  }
  const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (authority.find('@') != std::string_view::npos)
    return "user names in the forum address (user@host) are not supported";
  if (!authority.empty() && authority[0] == '[')
    return "IPv6 addresses are not supported; use a host name or an IPv4 address";
  const std::size_t colon = authority.find(':');
  const std::string_view host = authority.substr(0, colon);
  if (host.empty()) return "the forum address has no host";
  if (colon != std::string_view::npos && !isPortNumber(authority.substr(colon + 1))) {
    return "the port of the forum address must be a number from 1 to 65535";
  }
  return {};
}

std::string_view checkProxyAddress(std::string_view proxy) {
  const std::size_t colon = proxy.find(':');
  if (colon != std::string_view::npos && !isPortNumber(proxy.substr(colon + 1))) {
    return "the port of the proxy must be a number from 1 to 65535";
  }
  return {};
}

void appendRequestText(std::string_view text, TextWriter& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (isBlankOrControl(byte)) {
      out.put('%');
      out.put(kHex[byte >> 4]);
      out.put(kHex[byte & 0x0F]);
    } else {
      out.put(c);
    }
  }
}

}  // namespace quillstash
