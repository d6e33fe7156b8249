// Which translations may stand for the program's own texts.

#include "runtime/translated_text.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "platform/string_tables.h"
#include "runtime/string_ids.h"

namespace {

std::string OwnText(platform::UINT id) {
  char buffer[1024];
  const int length = platform::LoadStringA(0, id, buffer, sizeof buffer);
  return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

// A translation of a text that the program formats must keep its conversions, or the format
// would not fit its arguments; the program's own text then answers.
struct FitCase {
  const char* name;
  platform::UINT id;
  const char* translation;
  bool fits;
};
void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class TranslatedFormats : public ::testing::TestWithParam<FitCase> {};

TEST_P(TranslatedFormats, FitOnlyWhenTheyTakeTheProgramsArguments) {
  const FitCase& c = GetParam();
  EXPECT_EQ(TranslationFits(OwnText(c.id), c.translation), c.fits) << c.translation;
}

// The report template must keep all five conversions (the class, the module, the address, the
// message and its full stop), each bare: a width could push the message past the report's limit,
// a precision could hide an argument.
struct TemplateCase {
  const char* name;
  const char* translation;
  bool fits;
};

void PrintTo(const TemplateCase& c, std::ostream* os) { *os << c.name; }

class ReportTemplate : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(ReportTemplate, NeedsEveryConversionBare) {
  const TemplateCase& c = GetParam();
  EXPECT_EQ(
      TranslationFits(OwnText(StringIdExceptionReport), c.translation, TextUse::ReportTemplate),
      c.fits)
      << c.translation;
}

INSTANTIATE_TEST_SUITE_P(
    Templates, ReportTemplate,
    ::testing::Values(
        TemplateCase{"SameConversions", "Ausnahme %s in Modul %s bei %p.\r\n%s%s\r\n", true},
        TemplateCase{"UpperCaseLetters", "%S | %S | %P\r\n%S%S", true},
        TemplateCase{"LiteralPercent", "100%% %s %s %p %s%s", true},
        TemplateCase{"TrailingConversionsLeftOut", "Fehler %s", false},
        TemplateCase{"NoConversion", "Fehler", false},
        TemplateCase{"OneConversionTooMany", "%s %s %p %s %s %s", false},
        TemplateCase{"PrecisionsHideAllButTheAddress", "%.0s%.0s%p%.0s%.0s", false},
        TemplateCase{"WidthsPushTheMessageOut", "%1024s|%1024s|%1024p|%1024s|%1024s", false},
        TemplateCase{"OneSmallWidth", "%s %s %8p %s%s", false},
        TemplateCase{"LeftAlignment", "%-s %s %p %s%s", false},
        TemplateCase{"ZeroPrecision", "%s %s %p %.s%s", false}),
    [](const ::testing::TestParamInfo<TemplateCase>& test) { return test.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Conversions, TranslatedFormats,
    ::testing::Values(
        FitCase{"SameConversions", StringIdExceptionReport,
                "Ausnahme %s in Modul %s bei %p.\r\n%s%s\r\n", true},
        FitCase{"UpperCaseLettersAndWidths", StringIdExceptionReport, "%S | %-20s | %8P\r\n%s%s",
                true},
        FitCase{"LiteralPercent", StringIdIoError, "E/A-Fehler %d (100%%)", true},
        FitCase{"TooManyConversions", StringIdExceptionReport, "%s %s %s %s %s %s", false},
        FitCase{"TrailingConversionsLeftOut", StringIdExceptionReport, "Fehler %s", true},
        FitCase{"NoConversionAtAll", StringIdIoError, "E/A-Fehler", true},
        FitCase{"LeadingConversionLeftOut", StringIdExceptionReport, "%s %p %s %s", false},
        FitCase{"WrongLetter", StringIdIoError, "E/A-Fehler %s", false},
        FitCase{"WriteCountLetter", StringIdIoError, "E/A-Fehler %n", false},
        FitCase{"OtherOrder", StringIdAccessViolationNoModule, "%s bei %p, Adresse %p", false},
        FitCase{"ArgumentIndex", StringIdExternalException, "Ausnahme %0:x", false},
        FitCase{"StarWidth", StringIdExternalException, "Ausnahme %*x", false},
        FitCase{"StarPrecision", StringIdExternalException, "Ausnahme %.*x", false},
        FitCase{"DanglingPercent", StringIdNoArgument, "Kein Argument fuer '%s' %", false},
        FitCase{"PercentBeforeBlank", StringIdNoArgument, "Kein Argument % fuer '%s'", false},
        FitCase{"WidthOfTheReportLimit", StringIdFormatInvalid, "Format %1024s falsch", true},
        FitCase{"WidthBeyondTheReportLimit", StringIdFormatInvalid, "Format %1025s falsch", false},
        FitCase{"HugeWidth", StringIdIoError, "E/A-Fehler %9999999d", false},
        FitCase{"WidthBeyond32Bits", StringIdExceptionReport, "%2147483648s", false},
        FitCase{"HugePrecision", StringIdExceptionReport, "%s %s %p %.9999999s", false},
        FitCase{"PrecisionOfTheReportLimit", StringIdExceptionReport, "%s %s %p %.1024s", true},
        FitCase{"PlainTextMayHoldAnything", StringIdInvalidInput, "100% %s falsch %n", true}),
    [](const ::testing::TestParamInfo<FitCase>& test) { return test.param.name; });

}  // namespace
