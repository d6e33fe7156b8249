// The file name of the unit-test program as the run-time's reports show it: with the extension
// where program files carry one.
#pragma once

#include <string>

#include "path_rules.h"

namespace test_support {

inline const std::string UnitTestsModule =
    platform::ProgramFilesCarryExtension ? "unit_tests.exe" : "unit_tests";

}  // namespace test_support
