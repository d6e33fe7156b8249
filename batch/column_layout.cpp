#include "batch/column_layout.h"

#include <cstdio>
#include <cstring>

#include "batch/number_field.h"

namespace {

bool SameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 32) : *a;
    const char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 32) : *b;
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

// One entry of --columns: a number from 1, or a name (blanks around it are not part of it).
bool ParseChoice(const char* begin, const char* end, ColumnChoice& choice) {
  while (begin != end && (*begin == ' ' || *begin == '\t')) ++begin;
  while (end != begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
  if (begin == end || static_cast<size_t>(end - begin) > FieldTokenLength) return false;
  bool digits = true;
  uint64_t number = 0;
  for (const char* p = begin; p != end; ++p) {
    if (*p < '0' || *p > '9') {
      digits = false;
      break;
    }
    number = number * 10 + static_cast<uint64_t>(*p - '0');
    if (number > MappedColumns) number = MappedColumns;
  }
  if (digits) {
    if (number == 0) return false;
    choice.byName = false;
    choice.column = number - 1;
    return true;
  }
  choice.byName = true;
  std::memcpy(choice.name, begin, static_cast<size_t>(end - begin));
  choice.name[end - begin] = '\0';
  return true;
}

}  // namespace

bool ParseColumnRequest(const char* text, ColumnRequest& request, const char*& problem) {
  problem = "--columns takes six column names or numbers (from 1), separated by commas, not";
  const char* begin = text;
  for (int i = 0; i < RecordFieldCount; ++i) {
    const char* end = std::strchr(begin, ',');
    if (end == nullptr) {
      if (i != RecordFieldCount - 1) return false;
      end = begin + std::strlen(begin);
    } else if (i == RecordFieldCount - 1) {
      return false;
    }
    if (!ParseChoice(begin, end, request.choices[i])) return false;
    begin = end + 1;
  }
  for (int i = 0; i < RecordFieldCount; ++i) {
    for (int j = 0; j < i; ++j) {
      const ColumnChoice& a = request.choices[i];
      const ColumnChoice& b = request.choices[j];
      if (a.byName == b.byName && (a.byName ? SameName(a.name, b.name) : a.column == b.column)) {
        problem = "--columns names the same column twice in";
        return false;
      }
    }
    if (!request.choices[i].byName && request.choices[i].column >= MappedColumns - 1) {
      problem = "--columns takes column numbers up to 1022, not";
      return false;
    }
  }
  request.given = true;
  return true;
}

void HeaderSurvey::Begin(const ColumnRequest& columnRequest) {
  request = &columnRequest;
  fieldCount = 0;
  anyNumber = false;
  for (int i = 0; i < RecordFieldCount; ++i) {
    named[i] = requested[i] = -1;
    namedTwice[i] = requestedTwice[i] = false;
  }
}

void HeaderSurvey::Take(void* context, uint64_t column, const FieldToken& field) {
  auto& survey = *static_cast<HeaderSurvey*>(context);
  survey.fieldCount = column + 1;
  if (survey.anyNumber) return;
  if (ReadsAsNumber(field)) {
    survey.anyNumber = true;
    return;
  }
  for (int i = 0; i < RecordFieldCount; ++i) {
    if (SameName(field.text, FieldName(static_cast<FieldIndex>(i)))) {
      if (survey.named[i] >= 0) survey.namedTwice[i] = true;
      survey.named[i] = static_cast<int64_t>(column);
    }
    const ColumnChoice& choice = survey.request->choices[i];
    if (survey.request->given && choice.byName && SameName(field.text, choice.name)) {
      if (survey.requested[i] >= 0) survey.requestedTwice[i] = true;
      survey.requested[i] = static_cast<int64_t>(column);
    }
  }
}

bool DecideLayout(const HeaderSurvey& survey, bool isHeader, const ColumnRequest& request,
                  ColumnLayout& layout, char* problem, size_t size) {
  layout = ColumnLayout{};
  if (request.given) {
    layout.positional = false;
    layout.exactFields = isHeader ? survey.fieldCount : 0;
    for (int i = 0; i < RecordFieldCount; ++i) {
      const ColumnChoice& choice = request.choices[i];
      uint64_t column = choice.column;
      if (choice.byName) {
        if (!isHeader) {
          std::snprintf(problem, size,
                        "--columns names the column \"%s\", but the first line is no header "
                        "(it holds a number)",
                        choice.name);
          return false;
        }
        if (survey.requested[i] < 0) {
          std::snprintf(problem, size, "the header has no column \"%s\" (named by --columns)",
                        choice.name);
          return false;
        }
        if (survey.requestedTwice[i]) {
          std::snprintf(problem, size, "the header has two columns \"%s\"", choice.name);
          return false;
        }
        column = static_cast<uint64_t>(survey.requested[i]);
      }
      if (column >= MappedColumns - 1) {
        std::snprintf(problem, size, "the column of %s is past column 1022, the last that is read",
                      FieldName(static_cast<FieldIndex>(i)));
        return false;
      }
      for (int j = 0; j < i; ++j) {
        if (layout.columns[j] == column) {
          std::snprintf(problem, size, "--columns takes column %llu for both %s and %s",
                        static_cast<unsigned long long>(column + 1),
                        FieldName(static_cast<FieldIndex>(j)),
                        FieldName(static_cast<FieldIndex>(i)));
          return false;
        }
      }
      layout.columns[i] = column;
    }
    return true;
  }
  if (!isHeader) return true;
  int namedCount = 0;
  bool inPlace = true;
  for (int i = 0; i < RecordFieldCount; ++i) {
    if (survey.namedTwice[i]) {
      std::snprintf(problem, size, "the header names two columns %s",
                    FieldName(static_cast<FieldIndex>(i)));
      return false;
    }
    if (survey.named[i] >= 0) {
      ++namedCount;
      inPlace = inPlace && survey.named[i] == i;
    }
  }
  if (namedCount == RecordFieldCount) {
    layout.positional = false;
    layout.exactFields = survey.fieldCount;
    for (int i = 0; i < RecordFieldCount; ++i) {
      layout.columns[i] = static_cast<uint64_t>(survey.named[i]);
      if (layout.columns[i] >= MappedColumns - 1) {
        std::snprintf(problem, size, "the column %s is past column 1022, the last that is read",
                      FieldName(static_cast<FieldIndex>(i)));
        return false;
      }
    }
    return true;
  }
  if (namedCount == 0 || (inPlace && survey.fieldCount == RecordFieldCount)) return true;
  char missing[64] = "";
  for (int i = 0; i < RecordFieldCount; ++i) {
    if (survey.named[i] >= 0) continue;
    if (missing[0] != '\0') std::strcat(missing, ", ");
    std::strcat(missing, FieldName(static_cast<FieldIndex>(i)));
  }
  std::snprintf(problem, size,
                "the header has no column %s: name all six columns AX, AY, BX, BY, AXIS and K "
                "(in any order), or choose them with --columns",
                missing);
  return false;
}
