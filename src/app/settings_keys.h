// SPDX-License-Identifier: MIT
#pragma once

// The name under which each field of the settings record is remembered
// between runs, so that a front-end can store the record in its platform's
// settings file without knowing its fields one by one.

#include <cstdint>
#include <span>

#include "core/settings.h"

namespace quillstash {

struct SettingKey {
  struct Number {
    const char* name;
    std::uint32_t Settings::*field;
  };
  struct Switch {
    const char* name;
    bool Settings::*field;
  };
  struct Text {
    const char* name;
    SettingText Settings::*field;
  };
  // A 64-bit number (a byte count).
  struct Size {
    const char* name;
    std::uint64_t Settings::*field;
  };
  static std::span<const Number> numbers();
  static std::span<const Size> sizes();
  static std::span<const Switch> switches();
  static std::span<const Text> texts();
};

}  // namespace quillstash
