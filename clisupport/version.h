// SPDX-License-Identifier: GPL-2.0-or-later
// The text printed for --version.
#ifndef CLISUPPORT_VERSION_H
#define CLISUPPORT_VERSION_H

#ifdef __cplusplus
extern "C" {
#endif

#include <stdio.h>

// Copyright line format: "%s" takes the copyright sign, "%d" the year.
extern const char version_etc_copyright[];

// Writes the version text: "COMMAND (PACKAGE) VERSION", the copyright line,
// the licence notice and the authors line. authors ends with NULL and must
// name at least one author (the process aborts otherwise).
void print_version_text(FILE *stream, const char *command, const char *package, const char *version,
			const char *const *authors);

#ifdef __cplusplus
}
#endif

#endif
