// SPDX-License-Identifier: GPL-2.0-or-later
// Mode specifications: an octal number or chmod-style clauses such as
// u=rwx,go=rx, parsed once into steps and applied to a starting mode.
#ifndef INSTALL_MODECHANGE_H
#define INSTALL_MODECHANGE_H

#include <stdbool.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

enum {
	MODE_STEP_END = 0,
	MODE_STEP_PLAIN = 1,
	// plain permissions plus X: execute if any execute bit is already set,
	// or for a directory
	MODE_STEP_PLAIN_X = 2,
	// copy the permissions of the class (u, g or o) named after the operator
	MODE_STEP_COPY = 3
};

// "operator" is a C++ keyword, so C++ callers see the step only as an
// opaque type; they go through mode_parse and mode_apply.
#ifdef __cplusplus
struct mode_step;
#else
struct mode_step {
	char operator;	    // '=', '+' or '-'
	unsigned char kind; // MODE_STEP_*
	mode_t who_mask;    // bits the step may change; 0 without class letters
	mode_t perm_bits;   // permission letters, or the class to copy
	mode_t named_bits;  // bits the mode text names explicitly
};
#endif

// Parses text. Returns a newly allocated array of steps ended by a step of
// kind MODE_STEP_END, which the caller frees, or NULL when text is invalid.
struct mode_step *mode_parse(const char *text);

// Applies steps to old_mode for a file (or a directory when is_dir), with
// mask limiting steps without class letters. Returns the new mode (07777 at
// most) and, when changed is not NULL, stores there the bits the steps set
// or cleared.
mode_t mode_apply(mode_t old_mode, bool is_dir, mode_t mask, const struct mode_step *steps,
		  mode_t *changed);

#ifdef __cplusplus
}
#endif

#endif
