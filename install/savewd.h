// SPDX-License-Identifier: GPL-2.0-or-later
// Saving the working directory before a series of directory changes and
// getting back to it afterwards. When the working directory cannot be
// opened, the changes are made in a child process instead.
#ifndef INSTALL_SAVEWD_H
#define INSTALL_SAVEWD_H

#include <stdbool.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

enum savewd_state {
	wd_initial = 0,
	// the starting directory is held open in val.fd
	wd_saved = 1,
	// saved, and the process has changed directory since
	wd_moved = 2,
	// the work is done in a child process, val.child: -1 before a child
	// exists, 0 inside the child, else the child's id
	wd_forking = 3,
	// saving failed, val.errnum holds why
	wd_failed = 4,
	wd_finished = 5
};

struct savewd {
	enum savewd_state state;
	union {
		int fd;
		int errnum;
		pid_t child;
	} val;
};

// Options of savewd_chdir.
enum {
	// refuse a symbolic link in place of the directory
	chdir_no_symlink = 1,
	// fail when the directory cannot be opened for reading
	chdir_need_readable = 2,
	// when the directory could be opened, do not change into it
	chdir_skip_if_opened = 4,
	// follow a symbolic link in place of the directory only when it is
	// trusted (savewd_open_trusted)
	chdir_trusted_symlink = 8
};

static inline void savewd_init(struct savewd *wd)
{
	wd->state = wd_initial;
}

// Changes into dir, saving the working directory first. When open_outcome
// is not NULL it receives the descriptor of dir opened for reading (or -1)
// and the error number of that open; the descriptor is then the caller's.
// Returns 0, -1 with errno, or -2 in the parent when a child process was
// started to do the work (the caller stops and calls savewd_restore).
int savewd_chdir(struct savewd *wd, const char *dir, int options, int open_outcome[2]);

// Opens dir with flags; a symbolic link in its place is followed only when
// the directory holding it cannot be written by others or the link belongs
// to the effective user or to that directory's owner. A refused link fails
// with EACCES. Returns the descriptor or -1 with errno.
int savewd_open_trusted(const char *dir, int flags);

// -1 with EACCES when name is a symbolic link that savewd_open_trusted
// would refuse, else 0.
int savewd_check_link(const char *name);

// Goes back to the starting directory. Returns 0, -1 with errno, or the
// exit status of a child that did the work. Inside such a child it ends the
// child with status.
int savewd_restore(struct savewd *wd, int status);

// Releases the saved directory; the record is finished.
void savewd_finish(struct savewd *wd);

// The error number of a failed save or restore, else 0. A failure stays
// visible after savewd_finish, since the process may be in the wrong
// directory.
int savewd_errno(const struct savewd *wd);

// True when a child process is doing the work and the parent must not.
bool savewd_delegating(const struct savewd *wd);

#ifdef __cplusplus
}
#endif

#endif
