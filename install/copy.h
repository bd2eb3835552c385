// SPDX-License-Identifier: GPL-2.0-or-later
// The copy engine: copies one source name to one destination name, refusing
// unsafe copies, backing up or removing an existing destination.
#ifndef INSTALL_COPY_H
#define INSTALL_COPY_H

#include <stdbool.h>
#include <stddef.h>
#include <sys/types.h>

#include "copyopts.h"

#ifdef __cplusplus
extern "C" {
#endif

// Copies source to dest under options (never changed). dest->at_name is
// dest->name or its trailing part. When dest_fd is not NULL, a successful
// copy leaves the new file open there (close-on-exec) for the caller to
// finish and close. Failures are reported; returns true on success.
bool copy_one(const char *source, const struct copy_dest *dest, const struct copy_options *options,
	      int *dest_fd);

// True when the names a and b denote the same directory entry: equal last
// components in the same directory. Ends the run when a directory part
// cannot be examined.
bool same_entry(const char *a, const char *b);

// A new, empty table of created destinations. The installer keeps it until
// exit; other users release it with created_names_free.
struct created_names *created_names_new(void);
void created_names_free(struct created_names *table);

// Adds (name, ino, dev) unless an equal entry is present. name is copied.
void created_names_insert(struct created_names *table, const char *name, ino_t ino, dev_t dev);

// True when an entry equal to (name, ino, dev) is present.
bool created_names_contains(const struct created_names *table, const char *name, ino_t ino,
			    dev_t dev);

// The number of buckets, for the table's own tests.
size_t created_names_bucket_count(const struct created_names *table);

#ifdef __cplusplus
}
#endif

#endif
