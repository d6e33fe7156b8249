#include "unit/windows/vectored_watch.h"

#include <windows.h>

#include <cstring>

namespace vectored_watch {
namespace {

constexpr int Capacity = 8;
Seen Records[Capacity];
int Recorded = 0;
unsigned long Watched = 0;
void* Handle = nullptr;

LONG CALLBACK Watch(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode == Watched && Recorded < Capacity) {
    Seen& seen = Records[Recorded++];
    seen.code = record->ExceptionCode;
    seen.flags = record->ExceptionFlags;
    seen.parameterCount = record->NumberParameters;
    for (int i = 0; i < 15; ++i) seen.parameters[i] = record->ExceptionInformation[i];
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void Start(unsigned long status) {
  Recorded = 0;
  Watched = status;
  Handle = AddVectoredExceptionHandler(1, Watch);
}

void Stop() {
  if (Handle != nullptr) RemoveVectoredExceptionHandler(Handle);
  Handle = nullptr;
}

int Count() { return Recorded; }

Seen At(int index) { return Records[index]; }

}  // namespace vectored_watch
