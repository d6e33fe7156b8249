// When a language module's text may stand for the program's own.
#pragma once

#include <cstddef>
#include <string_view>

// A width or precision up to this fits: nothing the program formats is longer than the report.
inline constexpr size_t TranslatedFieldLimit = 1024;

// Whether `translated` may stand for the program's text `own`. Any text may, when the program's
// own text is no format (it is then never formatted). Otherwise every "%" of the translation must
// start "%%" or a plain conversion ("%" [-] [width] [.precision] letter) that takes the argument
// the program's own text gives in that place, with the same letter (in either case), and with a
// width and a precision of at most TranslatedFieldLimit. Trailing conversions may be left out,
// except where `everyConversion` asks for all of them (the report must name the class and carry
// the message). Argument indexes and "*" take arguments in another order or number, so they do
// not fit.
bool TranslationFits(std::string_view own, std::string_view translated,
                     bool everyConversion = false);
