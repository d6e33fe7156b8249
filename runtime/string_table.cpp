// The program's own string table: every message text of the run-time.
#include "platform/string_tables.h"
#include "runtime/string_ids.h"

namespace platform {

const StringTableEntry ImageStringTable[] = {
    {StringIdVariantTypeConversion, "Invalid variant type conversion"},
    {StringIdVariantOperation, "Invalid variant operation"},
    {StringIdInvalidArgument, "Invalid argument"},
    {StringIdExternalException, "External exception %x"},
    {StringIdAssertionFailed, "Assertion failed"},
    {StringIdIntfCast, "Interface not supported"},
    {StringIdSafecall, "Exception in safecall method"},
    {StringIdInvalidPointer, "Invalid pointer operation"},
    {StringIdInvalidCast, "Invalid class typecast"},
    {StringIdAccessViolationInModule,
     "Access violation at address %p in module '%s'. %s of address %p"},
    {StringIdAccessViolation, "Access violation"},
    {StringIdStackOverflow, "Stack overflow"},
    {StringIdControlC, "Control-C hit"},
    {StringIdPrivilege, "Privileged instruction"},
    {StringIdExceptionReport, "Exception %s in module %s at %p.\r\n%s%s\r\n"},
    {StringIdAccessViolationNoModule, "Access violation at address %p. %s of address %p"},
    {StringIdFormatInvalid, "Format '%s' invalid or incompatible with argument"},
    {StringIdNoArgument, "No argument for format '%s'"},
    {StringIdVariantMethodCall, "Variant method calls not supported"},
    {StringIdRead, "Read"},
    {StringIdWrite, "Write"},
    {StringIdVariantArrayCreation, "Error creating variant or safe array"},
    {StringIdVariantArrayIndex, "Variant or safe array index out of bounds"},
    {StringIdOutOfMemory, "Out of memory"},
    {StringIdIoError, "I/O error %d"},
    {StringIdFileNotFound, "File not found"},
    {StringIdInvalidFilename, "Invalid filename"},
    {StringIdTooManyOpenFiles, "Too many open files"},
    {StringIdFileAccessDenied, "File access denied"},
    {StringIdEndOfFile, "Read beyond end of file"},
    {StringIdDiskFull, "Disk full"},
    {StringIdInvalidInput, "Invalid numeric input"},
    {StringIdDivByZero, "Division by zero"},
    {StringIdRangeError, "Range check error"},
    {StringIdIntOverflow, "Integer overflow"},
    {StringIdInvalidOp, "Invalid floating point operation"},
    {StringIdZeroDivide, "Floating point division by zero"},
    {StringIdOverflow, "Floating point overflow"},
    {StringIdUnderflow, "Floating point underflow"},
};

const size_t ImageStringTableSize = sizeof(ImageStringTable) / sizeof(ImageStringTable[0]);

}  // namespace platform
