#include "runtime/format_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "runtime/exceptions.h"
#include "unit/runtime/raised.h"
#include "support/case_names.h"

namespace {

using runtime_test::Catch;
using runtime_test::MessageOf;

struct FormatCase {
  const char* format;
  std::vector<FormatArg> arguments;
  const char* expected;
};
void PrintTo(const FormatCase& c, std::ostream* os) { *os << '"' << c.format << '"'; }

class FormatTextCases : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatTextCases, ProducesExpectedText) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatText(c.format, std::span<const FormatArg>(c.arguments)), c.expected)
      << "format " << c.format;
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, FormatTextCases,
    testing::Values(
        FormatCase{"plain text", {}, "plain text"}, FormatCase{"", {}, ""},
        FormatCase{"[%s]", {"abc"}, "[abc]"}, FormatCase{"[%s]", {""}, "[]"},
        FormatCase{"%d", {0}, "0"}, FormatCase{"%d", {-5}, "-5"},
        FormatCase{"%d", {INT32_MIN}, "-2147483648"}, FormatCase{"%d", {INT32_MAX}, "2147483647"},
        FormatCase{"I/O error %d", {105}, "I/O error 105"}, FormatCase{"%x", {0}, "0"},
        FormatCase{"%x", {255}, "FF"}, FormatCase{"%x", {0xC000001Du}, "C000001D"},
        FormatCase{"%x", {-1}, "FFFFFFFF"}, FormatCase{"%p", {FormatArg::Address(0)}, "00000000"},
        FormatCase{"%p", {FormatArg::Address(0xAB12CD)}, "00AB12CD"},
        FormatCase{"%p", {FormatArg::Address(0xFFFFFFFF)}, "FFFFFFFF"},
        // An address beyond 32 bits keeps all its digits (where addresses have them).
        FormatCase{"%p",
                   {FormatArg::Address(static_cast<uintptr_t>(0x123456789AULL))},
                   sizeof(uintptr_t) >= 8 ? "123456789A" : "3456789A"},
        FormatCase{"%.2p", {FormatArg::Address(1)}, "00000001"}, FormatCase{"%%", {}, "%"},
        FormatCase{"100%% of %d", {7}, "100% of 7"},
        // Upper-case letters.
        FormatCase{"%D %X %S %P", {-3, 171, "t", FormatArg::Address(16)}, "-3 AB t 00000010"},
        // Width, left justification and precision.
        FormatCase{"[%5d]", {42}, "[   42]"}, FormatCase{"[%-5d]", {42}, "[42   ]"},
        FormatCase{"[%1d]", {42}, "[42]"}, FormatCase{"[%.4d]", {7}, "[0007]"},
        FormatCase{"[%.4d]", {-7}, "[-0007]"}, FormatCase{"[%6.3x]", {10}, "[   00A]"},
        FormatCase{"[%.3s]", {"abcdef"}, "[abc]"}, FormatCase{"[%8.3s]", {"abcdef"}, "[     abc]"},
        FormatCase{"[%-8s]", {"ab"}, "[ab      ]"}, FormatCase{"[%*d]", {4, 7}, "[   7]"},
        FormatCase{"[%-*.*d]", {5, 2, 3}, "[03   ]"},
        // An index chooses the argument; the next plain conversion takes the one after it.
        FormatCase{"%1:s %s %0:s", {"a", "b", "c"}, "b c a"}, FormatCase{"%0:s%0:s", {"x"}, "xx"},
        // The report template as the report fills it.
        FormatCase{
            "Exception %s in module %s at %p.\r\n%s%s\r\n",
            {"EInOutError", "framecalc", FormatArg::Address(0x5EFF), "Invalid numeric input", "."},
            "Exception EInOutError in module framecalc at 00005EFF.\r\n"
            "Invalid numeric input.\r\n"}),
    test_support::IndexedCaseName{});

struct FormatErrorCase {
  const char* format;
  std::vector<FormatArg> arguments;
  const char* message;
};
void PrintTo(const FormatErrorCase& c, std::ostream* os) { *os << '"' << c.format << '"'; }

class FormatTextErrors : public testing::TestWithParam<FormatErrorCase> {};

TEST_P(FormatTextErrors, RaisesConvertErrorNamingTheConversion) {
  const FormatErrorCase& c = GetParam();
  const runtime_test::Raised raised =
      Catch([&] { FormatText(c.format, std::span<const FormatArg>(c.arguments)); });
  ASSERT_TRUE(raised.raised) << "format " << c.format;
  ASSERT_NE(raised.object, nullptr);
  EXPECT_STREQ(raised.object->ClassName(), "EConvertError");
  EXPECT_EQ(MessageOf(raised.object), c.message);
  EXPECT_NE(raised.address, nullptr);
  delete raised.object;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, FormatTextErrors,
    testing::Values(
        FormatErrorCase{"%d", {"text"}, "Format '%d' invalid or incompatible with argument"},
        FormatErrorCase{"%s", {5}, "Format '%s' invalid or incompatible with argument"},
        FormatErrorCase{
            "%x", {FormatArg::Address(1)}, "Format '%x' invalid or incompatible with argument"},
        FormatErrorCase{"%p", {5}, "Format '%p' invalid or incompatible with argument"},
        FormatErrorCase{"a %-5.2q b", {5}, "Format '%-5.2q' invalid or incompatible with argument"},
        FormatErrorCase{"ends with %", {}, "Format '%' invalid or incompatible with argument"},
        FormatErrorCase{"%5", {1}, "Format '%5' invalid or incompatible with argument"},
        FormatErrorCase{"%*d", {"text", 1}, "Format '%*' invalid or incompatible with argument"},
        // The offending conversion is cut to 31 characters.
        FormatErrorCase{"%0000000000000000000000000000000000000009q",
                        {1},
                        "Format '%000000000000000000000000000000' invalid or incompatible with "
                        "argument"},
        // A width that no message could want is a broken format, not a huge allocation.
        FormatErrorCase{
            "%2147483648d", {1}, "Format '%2147483' invalid or incompatible with argument"},
        FormatErrorCase{"%d %d", {1}, "No argument for format '%d'"},
        FormatErrorCase{"%s", {}, "No argument for format '%s'"},
        FormatErrorCase{"%*d", {}, "No argument for format '%*'"},
        FormatErrorCase{"%3:s", {"a"}, "No argument for format '%3:s'"}),
    test_support::IndexedCaseName{});

// A format error inside a constructor ends that construction; the EConvertError goes on.
TEST(ExceptionConstruction, FormatErrorReplacesTheObjectBeingMade) {
  const runtime_test::Raised raised = Catch([] { new EInOutError("code %d", {"text"}); });
  ASSERT_TRUE(raised.raised);
  EXPECT_STREQ(raised.object->ClassName(), "EConvertError");
  EXPECT_EQ(MessageOf(raised.object), "Format '%d' invalid or incompatible with argument");
  delete raised.object;
}

}  // namespace
