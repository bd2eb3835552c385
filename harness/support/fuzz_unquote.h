// SPDX-License-Identifier: GPL-2.0-or-later
// Undoes the quoting of names in messages (untranslated marks), for fuzz
// targets that check what a program reported.
#ifndef HARNESS_FUZZ_UNQUOTE_H
#define HARNESS_FUZZ_UNQUOTE_H

#include <stddef.h>

// Decodes the quoted text at quoted (`...', backslash escapes inside) into
// out, which has room for at least strlen(quoted) bytes. Returns the decoded
// length, or -1 when quoted is not exactly one well-formed quoted text.
long fuzz_unquote(const char *quoted, char *out);

#endif
