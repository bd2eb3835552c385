// SPDX-License-Identifier: GPL-2.0-or-later
// The name of the board the system runs on.
#ifndef PLATIK_H
#define PLATIK_H

#ifdef __cplusplus
extern "C" {
#endif

// Reads the first line of /etc/platik anew on every call. Returns a new
// 256-byte buffer holding that line (its newline kept, at most 255
// characters), which the caller releases with free(); or NULL, after a
// message on standard error, when the file cannot be opened or read.
char *getplatik(void);

#ifdef __cplusplus
}
#endif

#endif
