// SPDX-License-Identifier: GPL-2.0-or-later
// Allocation that never returns null for a non-zero size.
#ifndef CLISUPPORT_XALLOC_H
#define CLISUPPORT_XALLOC_H

#ifdef __cplusplus
extern "C" {
#endif

#include <stddef.h>

// Reports "memory exhausted" and exits with exit_failure.
__attribute__((noreturn)) void die_memory_exhausted(void);

// malloc; a null result for a non-zero n ends the process.
void *checked_malloc(size_t n);
// realloc; a null result for a non-zero n ends the process.
void *checked_realloc(void *p, size_t n);
// A new block of n bytes holding a copy of p.
void *checked_memdup(const void *p, size_t n);
// A new copy of s.
char *checked_strdup(const char *s);
// A new copy of at most n bytes of s, terminated.
char *checked_strndup(const char *s, size_t n);

#ifdef __cplusplus
}
#endif

#endif
