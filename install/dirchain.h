// SPDX-License-Identifier: GPL-2.0-or-later
// Creating a chain of directories one component at a time: each component
// is made, then entered without following a symbolic link in its place, and
// the next one is made relative to it.
#ifndef INSTALL_DIRCHAIN_H
#define INSTALL_DIRCHAIN_H

#include <stdbool.h>
#include <stddef.h>
#include <sys/types.h>

#include "savewd.h"

#ifdef __cplusplus
extern "C" {
#endif

struct copy_options;

// Makes the directory component (relative to the working directory); full
// reads as the whole name up to and including it. Returns 0 when it made the
// directory, -1 with errno otherwise.
typedef int (*dirchain_make_fn)(const char *full, const char *component,
				const struct copy_options *options);
// Reports a directory that was made.
typedef void (*dirchain_announce_fn)(const char *full, const struct copy_options *options);
// The action on one operand of process_operands: 0 or 1.
typedef int (*dirchain_action_fn)(char *operand, struct savewd *wd,
				  const struct copy_options *options);

// Runs action on each operand, saving and restoring the working directory
// between relative operands. Returns the largest status.
int process_operands(int count, char **operands, dirchain_action_fn action,
		     const struct copy_options *options);

// Makes and enters every leading component of name (the last component is
// left alone), using make_one for each. name is changed while this runs and
// restored before it returns. Returns the offset of the last component, -1
// with errno, or -2 when a child process does the work.
ptrdiff_t make_ancestors(char *name, struct savewd *wd, dirchain_make_fn make_one,
			 const struct copy_options *options);

// A directory for create_dir_path to make, and how.
struct dir_path_request {
	// changed while create_dir_path runs and restored before it returns
	char *dir;
	struct savewd *wd;
	// makes each leading directory
	dirchain_make_fn make_one;
	const struct copy_options *options;
	// the last directory's mode, of which bits_to_set count
	mode_t mode;
	// reports the last directory when it was made
	dirchain_announce_fn announce;
	mode_t bits_to_set;
	// (uid_t)-1 and (gid_t)-1 leave them
	uid_t owner;
	gid_t group;
	bool keep_existing;
};

// Makes req->dir with all its leading directories and gives the last one
// req's mode, owner and group. Failures are reported; returns true on
// success.
bool create_dir_path(const struct dir_path_request *req);

// Gives the directory fd (or, when fd is -1, name) owner, group and mode.
// made_mode is the mode it was made with, or (mode_t)-1 when it was not
// made by us. fd is closed. Returns 0 or -1 with errno.
int fix_dir_owner_mode(int fd, const char *name, mode_t made_mode, uid_t owner, gid_t group,
		       mode_t mode, mode_t bits_to_set);

#ifdef __cplusplus
}
#endif

#endif
