// framecalc-batch's --help: the records it reads, its options and its exit codes.
#pragma once

namespace batch {

extern const char* const HelpText;

}  // namespace batch
