// SPDX-License-Identifier: MIT
#pragma once

// How the windows read their edit fields back: numbers as unsigned decimals,
// texts cut to the length the record keeps.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillstash {

// An edit field read as an unsigned decimal: blanks around the digits are
// allowed; empty text, any other character, or a value beyond 32 bits gives 0.
std::uint32_t readUnsignedField(std::string_view text);

// An edit field read as a whole number from `min` to `max` (blanks around it
// allowed); nothing when it is empty, not a number or out of range.
std::optional<std::uint32_t> readNumberField(std::string_view text, std::uint32_t min, std::uint32_t max);

// An edit field of seconds with at most three decimals ("1.5"), as
// milliseconds up to `maxMs`; nothing when it is not such a number.
std::optional<std::uint32_t> readSecondsField(std::string_view text, std::uint32_t maxMs);
// Milliseconds as seconds: "3", "1.5", "0.25".
std::string formatSecondsField(std::uint32_t milliseconds);

// An unsigned number as the windows show it.
std::string formatUnsignedField(std::uint32_t value);

// The first `limit` bytes of `text`, never ending inside a UTF-8 sequence
// (the desktop fields hand their text over as UTF-8).
std::string_view limitField(std::string_view text, std::size_t limit);

}  // namespace quillstash
