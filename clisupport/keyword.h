// SPDX-License-Identifier: GPL-2.0-or-later
// Matching an argument against a table of keywords, abbreviations allowed.
#ifndef CLISUPPORT_KEYWORD_H
#define CLISUPPORT_KEYWORD_H

#ifdef __cplusplus
extern "C" {
#endif

#include <stddef.h>

// Called after a matching failure was reported; expected not to return. Each
// program that matches arguments defines it, initialised to its own usage
// failure routine.
extern void (*argmatch_die)(void);

// keywords ends with NULL; values, when not NULL, holds one value of
// value_size bytes per keyword (synonyms have equal values and stand next to
// each other). Returns the index, -1 when invalid, -2 when ambiguous.
int match_argument(const char *argument, const char *const *keywords, const void *values,
		   size_t value_size);

// As match_argument; on failure reports the argument, lists the keywords and
// calls hook. Returns -1 if the hook returns.
int match_argument_or_die(const char *context, const char *argument, const char *const *keywords,
			  const void *values, size_t value_size, void (*hook)(void));

// One line: "invalid argument %s for %s" (problem -1) or
// "ambiguous argument %s for %s" (otherwise).
void report_bad_argument(const char *context, const char *argument, int problem);

// "Valid arguments are:" and the keywords, synonyms on one line.
void list_valid_arguments(const char *const *keywords, const void *values, size_t value_size);

#ifdef __cplusplus
}
#endif

#endif
