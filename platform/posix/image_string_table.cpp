// The program's own string table, linked into the image as a resource section would be.
#include "platform/posix/string_resources.h"

namespace platform {

const StringTableEntry ImageStringTable[] = {
#define STRING_TEXT(identifier, name, text) {identifier, text},
#include "resources/string_texts.inc"
#undef STRING_TEXT
};

const size_t ImageStringTableSize = sizeof(ImageStringTable) / sizeof(ImageStringTable[0]);

}  // namespace platform
