// SPDX-License-Identifier: GPL-2.0-or-later
// Closing standard output and standard error at exit, reporting lost output.
#ifndef CLISUPPORT_CLOSEOUT_H
#define CLISUPPORT_CLOSEOUT_H

#ifdef __cplusplus
extern "C" {
#endif

#include <stdio.h>

// Closes the stream. Returns 0, or -1 when output was lost (errno then holds
// the reason, or 0 when only the stream's error indicator told).
int close_stream_checked(FILE *stream);

// Registered at exit by frame_start. On lost standard output reports
// "write error" and ends the process with exit_failure at once; on lost
// standard error ends it with exit_failure silently.
void close_stdout(void);

#ifdef __cplusplus
}
#endif

#endif
