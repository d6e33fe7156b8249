#include "batch/number_field.h"

#include <cstring>

#include "numconv/text_to_real.h"

bool WithDecimalPoint(const FieldToken& in, FieldToken& out) {
  std::memcpy(&out, &in, sizeof out);
  for (uint32_t i = 0; i < out.length; ++i) {
    if (out.text[i] == '.') return false;
    if (out.text[i] == ',') out.text[i] = '.';
  }
  return true;
}

bool ReadsAsNumber(const FieldToken& field) {
  if (field.length == 0) return false;
  const FieldToken* text = &field;
  FieldToken translated;
  if (std::memchr(field.text, ',', field.length) != nullptr) {
    if (!WithDecimalPoint(field, translated)) return false;
    text = &translated;
  }
  int32_t errorPosition = 0;
  TextToReal(text->text, errorPosition);
  return errorPosition == 0 && HasMantissaDigit(text->text);
}
