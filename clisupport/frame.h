// SPDX-License-Identifier: GPL-2.0-or-later
// The program frame shared by install and test: start-up sequence, program
// name and failure status, message catalog.
#ifndef CLISUPPORT_FRAME_H
#define CLISUPPORT_FRAME_H

#ifdef __cplusplus
extern "C" {
#endif

#include <libintl.h>

#define _(msgid) gettext(msgid)
#define N_(msgid) msgid

// The message catalog of both programs.
#define FRAME_TEXT_DOMAIN "quellkit"
#define FRAME_LOCALE_DIR "/usr/share/locale"

// The first command-line word, exactly as given.
extern const char *program_name;

// Exit status of the frame's own failures (memory exhausted, lost output).
// Initially 1.
extern int exit_failure;

// The start-up sequence, first thing in main: sets program_name from argv0,
// the locale from the environment, binds and selects the text domain, sets
// exit_failure to failure_status and registers close_stdout at exit.
void frame_start(const char *argv0, int failure_status);

#ifdef __cplusplus
}
#endif

#endif
