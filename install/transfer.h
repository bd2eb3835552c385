// SPDX-License-Identifier: GPL-2.0-or-later
// Creating a new regular file with the data of a source, its times and its
// permissions.
#ifndef INSTALL_TRANSFER_H
#define INSTALL_TRANSFER_H

#include <stdbool.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include "copyopts.h"

#ifdef __cplusplus
extern "C" {
#endif

// Copies source into dest, which must not exist, as a new regular file with
// the permissions options->forced_mode (and the times of source_status with
// keep_times). source_status is the caller's stat of source (links
// followed). When dest_fd is not NULL, a successful transfer leaves the new
// file open there (close-on-exec) instead of closing it; the caller closes
// it. Failures are reported; returns true on success. A destination created
// before a failure is left in place.
bool transfer_regular(const char *source, const struct copy_dest *dest,
		      const struct copy_options *options, const struct stat *source_status,
		      int *dest_fd);

// Sets the permissions of the open file fd (named name in messages) to a
// non-directory mode without set-id or sticky bits, through an access ACL,
// or fchmod where the file system has no ACLs. Returns 0, or -1 after
// reporting.
int set_mode_acl(const char *name, int fd, mode_t mode);

// Sets access time times[0] and modification time times[1] (microsecond
// precision) of the open file fd, falling back to name without following a
// symbolic link there. Returns 0 or -1 with errno; does not report.
int set_times_fd(int fd, const char *name, const struct timespec times[2]);

#ifdef __cplusplus
}
#endif

#endif
