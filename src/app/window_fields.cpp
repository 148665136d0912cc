// SPDX-License-Identifier: MIT
#include "app/window_fields.h"

#include <limits>

namespace quillstash {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

std::uint32_t readUnsignedField(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  if (begin == end) return 0;
  std::uint64_t value = 0;
  for (std::size_t i = begin; i < end; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) return 0;
  }
  return static_cast<std::uint32_t>(value);
}

namespace {
std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}
}  // namespace

std::optional<std::uint32_t> readNumberField(std::string_view text, std::uint32_t min, std::uint32_t max) {
  text = trimBlanks(text);
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value < min || value > max) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> readSecondsField(std::string_view text, std::uint32_t maxMs) {
  text = trimBlanks(text);
  std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
  if ((whole.empty() && fraction.empty()) || whole.size() > 7 || fraction.size() > 3) return std::nullopt;
  std::uint64_t ms = 0;
  for (char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    ms = ms * 10 + static_cast<std::uint64_t>(c - '0');
  }
  ms *= 1000;
  std::uint64_t scale = 100;
  for (char c : fraction) {
    if (c < '0' || c > '9') return std::nullopt;
    ms += static_cast<std::uint64_t>(c - '0') * scale;
    scale /= 10;
  }
  if (ms > maxMs) return std::nullopt;
  return static_cast<std::uint32_t>(ms);
}

std::string formatSecondsField(std::uint32_t milliseconds) {
  std::string text = std::to_string(milliseconds / 1000);
  std::uint32_t fraction = milliseconds % 1000;
  if (fraction != 0) {
    std::string digits = std::to_string(1000 + fraction).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text;
}

std::string formatUnsignedField(std::uint32_t value) { return std::to_string(value); }

std::string_view limitField(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  // Step back over continuation bytes so that a character is never cut in two.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

}  // namespace quillstash
