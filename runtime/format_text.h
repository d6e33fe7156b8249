// The message formatter: a format with conversions ("%s", "%d", "%x", "%p", "%%") filled from a
// list of arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

// One argument of FormatText: a 32-bit integer, a text or an address.
struct FormatArg {
  enum class Kind : uint8_t { Integer, Text, Address };

  Kind kind;
  int32_t integer = 0;
  std::string_view text;
  uintptr_t address = 0;

  constexpr FormatArg(int32_t value) : kind(Kind::Integer), integer(value) {}
  // An unsigned 32-bit value keeps its bits ("%x" of 0xC000001D prints C000001D).
  constexpr FormatArg(uint32_t value) : kind(Kind::Integer), integer(static_cast<int32_t>(value)) {}
  constexpr FormatArg(std::string_view value) : kind(Kind::Text), text(value) {}
  constexpr FormatArg(const char* value) : kind(Kind::Text), text(value) {}
  FormatArg(const std::string& value) : kind(Kind::Text), text(value) {}
  FormatArg(const void* value) : kind(Kind::Address), address(reinterpret_cast<uintptr_t>(value)) {}

  static constexpr FormatArg Address(uintptr_t value) {
    FormatArg argument{0};
    argument.kind = Kind::Address;
    argument.address = value;
    return argument;
  }
};

// Copies `format`, replacing each conversion by the text of its argument. A conversion is
//   "%" [index ":"] ["-"] [width] ["." precision] letter
// where index, width and precision are decimal numbers or "*" (taken from the next argument,
// which must be an integer). The letter, upper or lower case:
//   s  the text; a precision cuts it to that many characters
//   d  a 32-bit signed integer in decimal; a precision is the least number of digits
//   x  a 32-bit integer as unsigned upper-case hexadecimal; a precision as for d
//   p  an address as upper-case hexadecimal with at least 8 digits (more only when the address
//      needs them); any precision is replaced by that
// A width pads the result with blanks to at least that many characters, on the left, or on the
// right with "-". An index chooses the argument of this conversion; the next conversion without
// index takes the argument after it. "%%" gives "%".
//
// A conversion whose letter does not fit its argument, or that is not a conversion at all, raises
// EConvertError "Format '...' invalid or incompatible with argument"; a conversion without an
// argument left raises EConvertError "No argument for format '...'". The quoted part is the
// offending conversion, at most 31 characters.
std::string FormatText(std::string_view format, std::span<const FormatArg> arguments);
std::string FormatText(std::string_view format, std::initializer_list<FormatArg> arguments);
