#include "runtime/translated_text.h"

#include <string>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A run of digits whose value is at most TranslatedFieldLimit; false for a larger one.
bool ReadField(std::string_view text, size_t& pos) {
  size_t value = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    value = value * 10 + static_cast<size_t>(text[pos] - '0');
    if (value > TranslatedFieldLimit) return false;
    ++pos;
  }
  return true;
}

// The conversion letters of a format, lower case, in order; false when it holds anything the
// plain form does not allow, or, where `bare`, anything between a "%" and its letter.
bool ConversionLetters(std::string_view text, std::string& letters, bool bare) {
  letters.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos++] != '%') continue;
    if (pos < text.size() && text[pos] == '%') {
      ++pos;
      continue;
    }
    const size_t start = pos;
    if (pos < text.size() && text[pos] == '-') ++pos;
    if (!ReadField(text, pos)) return false;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      if (!ReadField(text, pos)) return false;
    }
    if (pos == text.size() || !IsLetter(text[pos])) return false;
    if (bare && pos != start) return false;
    letters.push_back(static_cast<char>(text[pos++] | 0x20));
  }
  return true;
}

}  // namespace

bool TranslationFits(std::string_view own, std::string_view translated, TextUse use) {
  if (own.find('%') == std::string_view::npos) return true;
  const bool reportTemplate = use == TextUse::ReportTemplate;
  std::string ownLetters;
  std::string letters;
  if (!ConversionLetters(own, ownLetters, false)) return false;
  if (!ConversionLetters(translated, letters, reportTemplate)) return false;
  if (reportTemplate) return letters == ownLetters;
  return letters.size() <= ownLetters.size() && ownLetters.compare(0, letters.size(), letters) == 0;
}
