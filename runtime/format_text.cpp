#include "runtime/format_text.h"

#include "runtime/exceptions.h"
#include "baseruntime/runtime_error.h"
#include "runtime/string_ids.h"
#include "numconv/integer_text.h"

namespace {

constexpr size_t MaxConversionText = 31;
// A width or precision beyond this is taken for a broken format rather than filled with blanks.
constexpr int32_t MaxFieldSize = 1 << 20;

enum class FormatFailure { Invalid, NoArgument };

struct Formatter {
  std::string_view format;
  std::span<const FormatArg> arguments;
  const void* raiseAddress;
  size_t nextArgument = 0;
  size_t conversionStart = 0;
  size_t position = 0;

  [[noreturn]] void Fail(FormatFailure failure) const {
    size_t end = position < format.size() ? position + 1 : format.size();
    if (end < conversionStart) end = conversionStart;
    std::string_view conversion = format.substr(conversionStart, end - conversionStart);
    if (conversion.size() > MaxConversionText) conversion = conversion.substr(0, MaxConversionText);
    const uint32_t id =
        failure == FormatFailure::Invalid ? StringIdFormatInvalid : StringIdNoArgument;
    RaiseObject(new EConvertError(ResourceId{id}, {conversion}), raiseAddress);
  }

  const FormatArg& TakeArgument() {
    if (nextArgument >= arguments.size()) Fail(FormatFailure::NoArgument);
    return arguments[nextArgument++];
  }

  bool AtDigit() const {
    return position < format.size() && format[position] >= '0' && format[position] <= '9';
  }

  // A decimal number or "*" (the next argument, an integer); false when neither is there.
  bool ReadCount(int32_t& value) {
    if (position < format.size() && format[position] == '*') {
      const FormatArg& argument = TakeArgument();
      if (argument.kind != FormatArg::Kind::Integer) Fail(FormatFailure::Invalid);
      ++position;
      value = argument.integer < 0 ? 0 : argument.integer;
      if (value > MaxFieldSize) Fail(FormatFailure::Invalid);
      return true;
    }
    if (!AtDigit()) return false;
    int64_t number = 0;
    while (AtDigit()) {
      number = number * 10 + (format[position] - '0');
      if (number > MaxFieldSize) Fail(FormatFailure::Invalid);
      ++position;
    }
    value = static_cast<int32_t>(number);
    return true;
  }

  std::string Run() {
    std::string result;
    result.reserve(format.size());
    while (position < format.size()) {
      const char c = format[position];
      if (c != '%') {
        result += c;
        ++position;
        continue;
      }
      conversionStart = position;
      ++position;
      if (position < format.size() && format[position] == '%') {
        result += '%';
        ++position;
        continue;
      }
      Convert(result);
    }
    return result;
  }

  void Convert(std::string& result) {
    bool leftJustify = false;
    int32_t width = 0;
    int32_t precision = -1;
    int32_t first = 0;
    bool haveFirst = ReadCount(first);
    if (haveFirst && position < format.size() && format[position] == ':') {
      nextArgument = static_cast<size_t>(first);
      ++position;
      haveFirst = false;
    }
    if (haveFirst) {
      width = first;
    } else {
      if (position < format.size() && format[position] == '-') {
        leftJustify = true;
        ++position;
      }
      ReadCount(width);
    }
    if (position < format.size() && format[position] == '.') {
      ++position;
      precision = 0;
      ReadCount(precision);
    }
    if (position >= format.size()) Fail(FormatFailure::Invalid);
    const char letter = static_cast<char>(format[position] | 0x20);
    if (letter != 'd' && letter != 'x' && letter != 'p' && letter != 's') {
      Fail(FormatFailure::Invalid);
    }
    const FormatArg& argument = TakeArgument();
    std::string text;
    switch (letter) {
      case 'd': {
        if (argument.kind != FormatArg::Kind::Integer) Fail(FormatFailure::Invalid);
        const bool negative = argument.integer < 0;
        uint32_t magnitude = static_cast<uint32_t>(argument.integer);
        if (negative) magnitude = 0u - magnitude;
        text = Digits(magnitude, 10, precision);
        if (negative) text.insert(text.begin(), '-');
        break;
      }
      case 'x':
        if (argument.kind != FormatArg::Kind::Integer) Fail(FormatFailure::Invalid);
        text = Digits(static_cast<uint32_t>(argument.integer), 16, precision);
        break;
      case 'p':
        if (argument.kind != FormatArg::Kind::Address) Fail(FormatFailure::Invalid);
        text = Digits(argument.address, 16, 8);
        break;
      default:  // 's'
        if (argument.kind != FormatArg::Kind::Text) Fail(FormatFailure::Invalid);
        text = precision >= 0 && static_cast<size_t>(precision) < argument.text.size()
                   ? std::string(argument.text.substr(0, static_cast<size_t>(precision)))
                   : std::string(argument.text);
        break;
    }
    ++position;
    const size_t field = static_cast<size_t>(width);
    if (text.size() < field && !leftJustify) result.append(field - text.size(), ' ');
    result += text;
    if (text.size() < field && leftJustify) result.append(field - text.size(), ' ');
  }

  static std::string Digits(uint64_t value, unsigned base, int32_t leastDigits) {
    char digits[integertext::MaxDigits];
    const size_t count = integertext::WriteDigits(value, base, digits);
    std::string text;
    if (leastDigits > 0 && static_cast<size_t>(leastDigits) > count) {
      text.assign(static_cast<size_t>(leastDigits) - count, '0');
    }
    text.append(digits, count);
    return text;
  }
};

std::string FormatTextAt(std::string_view format, std::span<const FormatArg> arguments,
                         const void* raiseAddress) {
  Formatter formatter{format, arguments, raiseAddress};
  return formatter.Run();
}

}  // namespace

__attribute__((noinline)) std::string FormatText(std::string_view format,
                                                 std::span<const FormatArg> arguments) {
  return FormatTextAt(format, arguments, RETURN_ADDRESS());
}

__attribute__((noinline)) std::string FormatText(std::string_view format,
                                                 std::initializer_list<FormatArg> arguments) {
  return FormatTextAt(format, std::span<const FormatArg>(arguments.begin(), arguments.size()),
                      RETURN_ADDRESS());
}
