// Identifiers of the program's string table (resources/string_texts.inc holds the texts).
#pragma once

#include <cstdint>

#define STRING_TEXT(identifier, name, text) inline constexpr uint32_t name = identifier;
#include "resources/string_texts.inc"
#undef STRING_TEXT
