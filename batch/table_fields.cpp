#include "batch/table_fields.h"

#include "batch/record_parser.h"

namespace {

bool NeedsQuotes(const char* data, size_t size, char delimiter) {
  if (size == 0) return delimiter == ' ';
  if (IsBlankCharacter(data[0]) || IsBlankCharacter(data[size - 1])) return true;
  for (size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (c == delimiter || c == '"' || c == '\r' || c == '\n' || (delimiter == ' ' && c == '\t')) {
      return true;
    }
  }
  return false;
}

}  // namespace

void AppendTableField(OutputBuffer& out, const char* data, size_t size, char delimiter) {
  if (!NeedsQuotes(data, size, delimiter)) {
    out.Append(data, size);
    return;
  }
  out.Append('"');
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '"') out.Append('"');
    out.Append(data[i]);
  }
  out.Append('"');
}
