// framecalc-batch's name as its messages give it, and its exit codes.
#pragma once

namespace batch {

constexpr const char* ProgramName = "framecalc-batch";

constexpr int ExitAllRecords = 0;
constexpr int ExitSomeRecordsFailed = 1;
constexpr int ExitTrouble = 2;  // usage error, unreadable input, output that cannot be written

}  // namespace batch
