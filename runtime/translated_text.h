// When a language module's text may stand for the program's own.
#pragma once

#include <cstddef>
#include <string_view>

// A width or precision up to this fits: nothing the program formats is longer than the report.
inline constexpr size_t TranslatedFieldLimit = 1024;

// What a text is used for: a message, or the template of the report of a failure, which must
// show every one of its arguments whole.
enum class TextUse { Message, ReportTemplate };

// Whether `translated` may stand for the program's text `own`. Any text may, when the program's
// own text is no format (it is then never formatted). Otherwise every "%" of the translation must
// start "%%" or a plain conversion ("%" [-] [width] [.precision] letter) that takes the argument
// the program's own text gives in that place, with the same letter (in either case), and with a
// width and a precision of at most TranslatedFieldLimit. Trailing conversions may be left out of
// a message. The report template must keep all of them (the report must name the class, the
// module and the address and carry the message), each written as bare "%" and letter: a width
// could push the message out of the report's limit and a precision could hide an argument.
// Argument indexes and "*" take arguments in another order or number, so they do not fit.
bool TranslationFits(std::string_view own, std::string_view translated,
                     TextUse use = TextUse::Message);
