// Helpers for tests that watch an exception being raised.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "runtime/exception_support.h"
#include "runtime/exceptions.h"

namespace runtime_test {

// What a raise carried: its record, the object and the raise address.
struct Raised {
  platform::EXCEPTION_RECORD record{};
  TObject* object = nullptr;
  const void* address = nullptr;
  bool raised = false;
};

inline Raised Catch(const std::function<void()>& action) {
  Raised result;
  try {
    action();
  } catch (const RaisedException& exception) {
    result.raised = true;
    result.record = exception.record;
    if (exception.record.ExceptionCode == ObjectExceptionStatus) {
      result.object = reinterpret_cast<TObject*>(exception.record.ExceptionInformation[1]);
      result.address = reinterpret_cast<const void*>(exception.record.ExceptionInformation[0]);
    }
  }
  return result;
}

inline std::string MessageOf(const TObject* object) {
  return IsInstanceOf<Exception>(object) ? static_cast<const Exception*>(object)->Message()
                                         : std::string("<not an Exception>");
}

// Installs the exception support for the test's lifetime.
class WithExceptionSupport : public testing::Test {
 protected:
  void SetUp() override { InstallExceptionSupport(); }
  void TearDown() override { RemoveExceptionSupport(); }
};

}  // namespace runtime_test
