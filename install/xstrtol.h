// SPDX-License-Identifier: GPL-2.0-or-later
// Reading unsigned numbers from command-line words.
#ifndef INSTALL_XSTRTOL_H
#define INSTALL_XSTRTOL_H

#ifdef __cplusplus
extern "C" {
#endif

enum strtol_error { LONGINT_OK = 0, LONGINT_OVERFLOW = 1, LONGINT_INVALID = 2 };

// Reads an unsigned number from s in base (0: a 0x or 0X prefix means
// hexadecimal, a leading 0 octal, else decimal), after optional leading
// white space. A minus sign or a missing number is LONGINT_INVALID, a value
// beyond unsigned long LONGINT_OVERFLOW. Characters after the number are
// left to the caller: when end is not NULL it receives where they begin.
enum strtol_error xstrtoul(const char *s, char **end, int base, unsigned long *value);

#ifdef __cplusplus
}
#endif

#endif
