// Identifiers of the program's string table (runtime/string_table.cpp holds the texts).
#pragma once

#include <cstdint>

inline constexpr uint32_t StringIdVariantTypeConversion = 65488;
inline constexpr uint32_t StringIdVariantOperation = 65489;
inline constexpr uint32_t StringIdInvalidArgument = 65490;
inline constexpr uint32_t StringIdExternalException = 65491;
inline constexpr uint32_t StringIdAssertionFailed = 65492;
inline constexpr uint32_t StringIdIntfCast = 65493;
inline constexpr uint32_t StringIdSafecall = 65494;
inline constexpr uint32_t StringIdInvalidPointer = 65504;
inline constexpr uint32_t StringIdInvalidCast = 65505;
inline constexpr uint32_t StringIdAccessViolationInModule = 65506;
inline constexpr uint32_t StringIdAccessViolation = 65507;
inline constexpr uint32_t StringIdStackOverflow = 65508;
inline constexpr uint32_t StringIdControlC = 65509;
inline constexpr uint32_t StringIdPrivilege = 65510;
inline constexpr uint32_t StringIdExceptionReport = 65511;
inline constexpr uint32_t StringIdAccessViolationNoModule = 65512;
inline constexpr uint32_t StringIdFormatInvalid = 65513;
inline constexpr uint32_t StringIdNoArgument = 65514;
inline constexpr uint32_t StringIdVariantMethodCall = 65515;
inline constexpr uint32_t StringIdRead = 65516;
inline constexpr uint32_t StringIdWrite = 65517;
inline constexpr uint32_t StringIdVariantArrayCreation = 65518;
inline constexpr uint32_t StringIdVariantArrayIndex = 65519;
inline constexpr uint32_t StringIdOutOfMemory = 65520;
inline constexpr uint32_t StringIdIoError = 65521;
inline constexpr uint32_t StringIdFileNotFound = 65522;
inline constexpr uint32_t StringIdInvalidFilename = 65523;
inline constexpr uint32_t StringIdTooManyOpenFiles = 65524;
inline constexpr uint32_t StringIdFileAccessDenied = 65525;
inline constexpr uint32_t StringIdEndOfFile = 65526;
inline constexpr uint32_t StringIdDiskFull = 65527;
inline constexpr uint32_t StringIdInvalidInput = 65528;
inline constexpr uint32_t StringIdDivByZero = 65529;
inline constexpr uint32_t StringIdRangeError = 65530;
inline constexpr uint32_t StringIdIntOverflow = 65531;
inline constexpr uint32_t StringIdInvalidOp = 65532;
inline constexpr uint32_t StringIdZeroDivide = 65533;
inline constexpr uint32_t StringIdOverflow = 65534;
inline constexpr uint32_t StringIdUnderflow = 65535;
