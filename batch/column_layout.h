// Which columns of a file hold the six fields of a record.
//
// - A first line (not blank, not a comment) none of whose fields reads as a number is a header.
// - A header that names AX, AY, BX, BY, AXIS and K (in any case and order) gives their columns;
//   other columns are then allowed, and every record has as many fields as the header.
// - --columns A,B,C,D,E,F names the six columns in that order, each by its name in the header or
//   by its number (from 1); with a header, every record has as many fields as the header.
// - Otherwise the six fields are the first six, and a record has exactly six (a header that names
//   some of the six may do so only in their own places, as "X1,Y1,X2,Y2,AXIS,K" does).
// A header that leaves a column in doubt (a name twice, some names missing, a --columns name it
// does not have) stops the input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "batch/record_parser.h"

struct ColumnChoice {
  bool byName = false;
  uint64_t column = 0;                   // 0-based, when not by name
  char name[FieldTokenLength + 1] = {};  // when by name
};

struct ColumnRequest {
  bool given = false;
  ColumnChoice choices[RecordFieldCount];
};

// Reads the value of --columns; false with a message for the user.
bool ParseColumnRequest(const char* text, ColumnRequest& request, const char*& problem);

// What the first line of records says of the columns, field by field (a FieldSink).
struct HeaderSurvey {
  void Begin(const ColumnRequest& request);
  static void Take(void* survey, uint64_t column, const FieldToken& field);

  const ColumnRequest* request = nullptr;
  uint64_t fieldCount = 0;
  bool anyNumber = false;
  int64_t named[RecordFieldCount];  // the column named AX, ..., K, or -1
  bool namedTwice[RecordFieldCount];
  int64_t requested[RecordFieldCount];  // the column of a --columns name, or -1
  bool requestedTwice[RecordFieldCount];
};

struct ColumnLayout {
  bool positional = true;  // the first six fields, exactly six
  uint64_t columns[RecordFieldCount] = {0, 1, 2, 3, 4, 5};
  uint64_t exactFields = 0;  // every record has this many fields (0: any number)
};

// The layout that the first line and the request give (`isHeader` when the line is a header);
// false with a message of at most `size` bytes when a column is in doubt.
bool DecideLayout(const HeaderSurvey& survey, bool isHeader, const ColumnRequest& request,
                  ColumnLayout& layout, char* problem, size_t size);
