// SPDX-License-Identifier: GPL-2.0-or-later
#include "savewd.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "frame.h"
#include "transfer.h"

// Broken invariants are programming errors, also in builds without assert.
static _Noreturn void savewd_invariant_failed(const char *what, const char *operation)
{
	fprintf(stderr, "%s: savewd: %s: assertion `%s' failed\n", program_name, operation, what);
	abort();
}

#define savewd_require(cond) ((cond) ? (void)0 : savewd_invariant_failed(#cond, __func__))

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

int savewd_chdir(struct savewd *wd, const char *dir, int options, int open_outcome[2])
{
	int fd = -1;
	int result = 0;

	if (open_outcome || (options & chdir_no_symlink)) {
		int flags = O_RDONLY | O_DIRECTORY | O_NOCTTY | O_NONBLOCK;
		if (options & chdir_no_symlink)
			flags |= O_NOFOLLOW;
		fd = open_not_std(dir, flags, 0);
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
			result = fd >= 0 ? fchdir(fd) : chdir(dir);
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
