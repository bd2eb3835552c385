// SPDX-License-Identifier: GPL-2.0-or-later
// Small helpers on file names and descriptors shared by the installer's
// modules.
#ifndef INSTALL_FILEUTIL_H
#define INSTALL_FILEUTIL_H

#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

// open(2) that never returns 0, 1 or 2: such a descriptor is moved to the
// lowest free one of at least 3. mode is used only with O_CREAT or
// O_TMPFILE. Returns the descriptor or -1 with errno.
int open_not_std(const char *name, int flags, mode_t mode);

// The same relative to the directory dirfd (or AT_FDCWD).
int open_not_std_at(int dirfd, const char *name, int flags, mode_t mode);

// The part of name after the last slash that is followed by a non-slash;
// trailing slashes belong to it.
const char *last_component(const char *name);

#ifdef __cplusplus
}
#endif

#endif
