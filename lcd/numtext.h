#pragma once
// Texts with numbers for the firmware, made without the C library's printf:
// the instrument writes a decimal point whatever locale the host process runs
// under (a window adopts the desktop's), and every host's C library must give
// the same bytes. FmtStr gives what snprintf gives under the "C" locale for
// the conversions the firmware uses:
//   %d %i %u with the length modifiers l and ll, %f (double), %s, %c, %%;
//   flags '-' and '0', a width, a precision of 0..9 for %f and any for %s;
//   no '*'. %f rounds the exact binary value half to even, as printf does in
//   the default rounding mode; inf and nan are written "inf" and "nan".
// A conversion outside that set ends the text there and the result is -1.
#include <cstdarg>
#include <cstddef>

// As snprintf: writes at most size - 1 bytes and a terminator, and returns the
// length the whole text would have.
int FmtStr(char* buf, std::size_t size, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
int VFmtStr(char* buf, std::size_t size, const char* fmt, va_list ap) __attribute__((format(printf, 3, 0)));
