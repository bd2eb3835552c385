// SPDX-License-Identifier: GPL-2.0-or-later
#define _GNU_SOURCE
#include "savewd.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fileutil.h"
#include "frame.h"
#include "xalloc.h"

// Broken invariants are programming errors, also in builds without assert.
static _Noreturn void savewd_invariant_failed(const char *what, const char *operation)
{
	fprintf(stderr, "%s: savewd: %s: assertion `%s' failed\n", program_name, operation, what);
	abort();
}

#define savewd_require(cond) ((cond) ? (void)0 : savewd_invariant_failed(#cond, __func__))

// In a directory that others can write, a link is followed only when it
// belongs to the effective user or to the directory's owner, as the kernel
// does in sticky directories: anybody else may have planted it.
static bool link_trusted(const struct stat *link, const struct stat *parent)
{
	uid_t me = geteuid();
	bool others_write = (parent->st_mode & (S_IWGRP | S_IWOTH)) ||
			    (parent->st_uid != me && (parent->st_mode & S_IWUSR));

	return !others_write || link->st_uid == me || link->st_uid == parent->st_uid;
}

// A new copy of name without trailing slashes, which would make even an
// open that does not follow links follow one.
static char *without_trailing_slashes(const char *name)
{
	size_t len = strlen(name);

	while (len > 1 && name[len - 1] == '/')
		len--;
	return checked_strndup(name, len);
}

// Splits name, without its trailing slashes, into a new string holding the
// parent directory and a new string holding the entry in it.
static char *split_entry(const char *name, const char **entry)
{
	char *copy = without_trailing_slashes(name);
	char *slash = strrchr(copy, '/');
	if (!slash) {
		// the copy of an empty name has no room for "."
		*entry = copy;
		return checked_strdup(".");
	} else {
		*entry = checked_strdup(slash + 1);
		slash[slash == copy] = '\0';
	}
	return copy;
}

int savewd_open_trusted(const char *dir, int flags)
{
	char *bare = without_trailing_slashes(dir);
	int fd = open_not_std(bare, flags | O_NOFOLLOW, 0);
	// with O_DIRECTORY a link is refused as not a directory
	int refused = errno;
	free(bare);
	errno = refused;
	if (fd >= 0 || (refused != ELOOP && refused != ENOTDIR))
		return fd;

	// A link: judge the link itself, then follow the text it held then.
	const char *entry;
	char *parent_name = split_entry(dir, &entry);
	int parent = open_not_std(parent_name, O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
	int e = errno;
	fd = -1;
	if (parent >= 0) {
		int link = openat(parent, entry, O_PATH | O_NOFOLLOW | O_CLOEXEC);
		struct stat link_st, parent_st;
		char target[PATH_MAX];
		ssize_t n = -1;

		e = errno;
		if (link >= 0 && fstat(link, &link_st) == 0 && fstat(parent, &parent_st) == 0) {
			e = refused;
			if (S_ISLNK(link_st.st_mode) && !link_trusted(&link_st, &parent_st))
				e = EACCES;
			else if (S_ISLNK(link_st.st_mode) &&
				 (n = readlinkat(link, "", target, sizeof target - 1)) < 0)
				e = errno;
		} else if (link >= 0) {
			e = errno;
		}
		if (n >= 0) {
			target[n] = '\0';
			fd = open_not_std_at(parent, target, flags, 0);
			e = errno;
		}
		if (link >= 0)
			(void)close(link);
		(void)close(parent);
	}
	free((char *)entry);
	free(parent_name);
	errno = e;
	return fd;
}

int savewd_check_link(const char *name)
{
	const char *entry;
	char *parent_name = split_entry(name, &entry);
	char *bare = without_trailing_slashes(name);
	struct stat link_st, parent_st;
	int result = 0;

	if (lstat(bare, &link_st) == 0 && S_ISLNK(link_st.st_mode) &&
	    stat(parent_name, &parent_st) == 0 && !link_trusted(&link_st, &parent_st)) {
		result = -1;
	}
	free(bare);
	free((char *)entry);
	free(parent_name);
	if (result)
		errno = EACCES;
	return result;
}

// Returns true in the parent when a child process now does the work.
static bool savewd_save(struct savewd *wd)
{
	switch (wd->state) {
	case wd_initial: {
		int fd = open_not_std(".", O_RDONLY, 0);
		if (fd >= 0) {
			wd->state = wd_saved;
			wd->val.fd = fd;
			return false;
		}
		if (errno != EACCES && errno != ESTALE) {
			wd->state = wd_failed;
			wd->val.errnum = errno;
			return false;
		}
		wd->state = wd_forking;
		wd->val.child = -1;
	}
		// fall through
	case wd_forking:
		if (wd->val.child < 0) {
			// the child must not write the parent's pending output again
			(void)fflush(stdout);
			pid_t child = fork();
			if (child < 0) {
				wd->state = wd_failed;
				wd->val.errnum = errno;
				return false;
			}
			wd->val.child = child;
			return child > 0;
		}
		return false;
	case wd_saved:
	case wd_moved:
	case wd_failed:
	case wd_finished:
		return false;
	}
	savewd_require(!"unknown state");
	return false;
}

// A directory that cannot be read may still be entered.
static int savewd_chdir_by_name(const char *dir, int options)
{
	if (!(options & chdir_trusted_symlink))
		return chdir(dir);

	int fd = savewd_open_trusted(dir, O_PATH | O_DIRECTORY | O_CLOEXEC);
	if (fd < 0)
		return -1;
	int result = fchdir(fd);
	int e = errno;
	(void)close(fd);
	errno = e;
	return result;
}

int savewd_chdir(struct savewd *wd, const char *dir, int options, int open_outcome[2])
{
	int fd = -1;
	int result = 0;

	if (open_outcome || (options & (chdir_no_symlink | chdir_trusted_symlink))) {
		int flags = O_RDONLY | O_DIRECTORY | O_NOCTTY | O_NONBLOCK;
		if (options & chdir_no_symlink)
			flags |= O_NOFOLLOW;
		if (options & chdir_trusted_symlink) {
			fd = savewd_open_trusted(dir, flags);
		} else {
			char *bare = without_trailing_slashes(dir);
			fd = open_not_std(options & chdir_no_symlink ? bare : dir, flags, 0);
			int e = errno;
			free(bare);
			errno = e;
		}
		if (open_outcome) {
			open_outcome[0] = fd;
			open_outcome[1] = fd < 0 ? errno : 0;
		}
		if (fd < 0 && (errno != EACCES || (options & chdir_need_readable)))
			result = -1;
	}

	if (result == 0 && !(fd >= 0 && (options & chdir_skip_if_opened))) {
		if (savewd_save(wd)) {
			result = -2;
			if (open_outcome)
				open_outcome[0] = -1;
			open_outcome = NULL;
		} else {
			result = fd >= 0 ? fchdir(fd) : savewd_chdir_by_name(dir, options);
			if (result == 0) {
				if (wd->state == wd_saved)
					wd->state = wd_moved;
				else if (wd->state == wd_forking)
					savewd_require(wd->val.child == 0);
			}
		}
	}

	if (fd >= 0 && !open_outcome) {
		int e = errno;
		(void)close(fd);
		errno = e;
	}
	return result;
}

static int savewd_collect(struct savewd *wd)
{
	int status;

	while (waitpid(wd->val.child, &status, 0) < 0)
		savewd_require(errno == EINTR);
	wd->val.child = -1;
	if (WIFSIGNALED(status)) {
		(void)raise(WTERMSIG(status));
		// the signal is caught or ignored here; the work still failed
		return EXIT_FAILURE;
	}
	return WEXITSTATUS(status);
}

int savewd_restore(struct savewd *wd, int status)
{
	switch (wd->state) {
	case wd_initial:
	case wd_saved:
		return 0;
	case wd_moved:
		if (fchdir(wd->val.fd) == 0) {
			wd->state = wd_saved;
			return 0;
		} else {
			int e = errno;
			(void)close(wd->val.fd);
			wd->state = wd_failed;
			wd->val.errnum = e;
			errno = e;
			return -1;
		}
	case wd_forking:
		if (wd->val.child == 0)
			_exit(status);
		if (wd->val.child > 0)
			return savewd_collect(wd);
		return 0;
	case wd_failed:
		errno = wd->val.errnum;
		return -1;
	case wd_finished:
		savewd_require(!"restore after finish");
		return -1;
	}
	savewd_require(!"unknown state");
	return -1;
}

void savewd_finish(struct savewd *wd)
{
	switch (wd->state) {
	case wd_saved:
	case wd_moved:
		(void)close(wd->val.fd);
		break;
	case wd_forking:
		savewd_require(wd->val.child < 0);
		break;
	case wd_initial:
	case wd_failed:
		break;
	case wd_finished:
		savewd_require(!"finished twice");
		break;
	default:
		savewd_require(!"unknown state");
	}
	if (wd->state != wd_failed)
		wd->val.errnum = 0;
	wd->state = wd_finished;
}

int savewd_errno(const struct savewd *wd)
{
	if (wd->state == wd_failed || wd->state == wd_finished)
		return wd->val.errnum;
	return 0;
}

bool savewd_delegating(const struct savewd *wd)
{
	return wd->state == wd_forking && wd->val.child > 0;
}
