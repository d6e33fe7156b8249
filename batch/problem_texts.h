// framecalc-batch's own texts for what keeps a record or an input from a result, beside the
// calculator's texts of its failures (the string table's). Each names the cause a user can act
// on; none holds ": ", which separates FILE:LINE: FIELD: MESSAGE.
#pragma once

inline constexpr char kMissingField[] = "Missing field";
inline constexpr char kEmptyField[] = "Empty field";
inline constexpr char kNotXOrY[] = "Not X or Y";
inline constexpr char kTooManyFields[] =
    "Too many fields (6 expected; other columns need a header naming AX, AY, BX, BY, AXIS and "
    "K, or --columns)";
// After a message of a wrong number of fields in a file delimited by commas.
inline constexpr char kCommaDelimitedHint[] =
    " (if \",\" is the decimal point here, give --decimal-comma)";
// After "Invalid numeric input".
inline constexpr char kNoDigit[] = " (no digit)";
inline constexpr char kCommaNeedsOption[] =
    " (a decimal comma needs --decimal-comma; digit grouping is not read)";
inline constexpr char kPointWithDecimalComma[] =
    " (with --decimal-comma the decimal point is the comma; digit grouping is not read)";
inline constexpr char kQuoteNotClosed[] = "Quote not closed (the input ends inside it)";
inline constexpr char kTextAfterClosingQuote[] = "Text after the closing quote";
inline constexpr char kZeroByte[] =
    "A zero byte in the field (binary data, or UTF-16 text; save the file as UTF-8)";
