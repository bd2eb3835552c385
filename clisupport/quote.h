// SPDX-License-Identifier: GPL-2.0-or-later
// Quoting of names in messages, in the locale's quotation marks. Results live
// in numbered slots, valid until the next quoting into the same slot; the
// caller never frees them. errno is kept across every call.
#ifndef CLISUPPORT_QUOTE_H
#define CLISUPPORT_QUOTE_H

#ifdef __cplusplus
extern "C" {
#endif

#include <stddef.h>

// Quotes text into slot 0.
char *quote_name(const char *text);
// Quotes text into slot n (0 or more).
char *quote_name_n(int n, const char *text);
// The slot machinery behind both; a negative n aborts.
char *quote_in_slot(int n, const char *text);
// Writes the quoted text into buffer as far as capacity allows and returns
// the length of the whole quoted text, without its terminator.
size_t quote_to_buffer(char *buffer, size_t capacity, const char *text);

#ifdef __cplusplus
}
#endif

#endif
