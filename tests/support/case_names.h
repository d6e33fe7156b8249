// Names a parameterised test's case after what the case's printer says of it, in the characters a
// test name may hold, so that a test's line in the runner's output names its case.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace test_support {

// Letters and digits are kept; every other run of characters becomes one underscore.
inline std::string TestNameCharacters(const std::string& printed) {
  std::string name;
  for (char c : printed) {
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (kept) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name;
}

// For tables whose cases print differently from one another.
struct PrintedCaseName {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    std::string name = TestNameCharacters(testing::PrintToString(info.param));
    return name.empty() ? std::to_string(info.index) : name;
  }
};

// For tables where two cases may print alike: the case's place in the table comes first.
struct IndexedCaseName {
  template <class Case>
  std::string operator()(const testing::TestParamInfo<Case>& info) const {
    std::string name = TestNameCharacters(testing::PrintToString(info.param));
    return std::to_string(info.index) + (name.empty() ? "" : "_" + name);
  }
};

}  // namespace test_support
