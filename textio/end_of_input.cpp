#include "textio/end_of_input.h"

#include "textio/read_values.h"

bool AtEndOfInput(TTextStream& stream) {
  const StreamChar next = ReadNextChar(stream);
  if (next.endOfFile) return true;
  --stream.bufferPos;  // the character came from the buffer: it stays for the next read
  return false;
}
