// SPDX-License-Identifier: GPL-2.0-or-later
#define _GNU_SOURCE
#include "fileutil.h"

#include <errno.h>
#include <fcntl.h>
#include <stdbool.h>
#include <unistd.h>

int open_not_std(const char *name, int flags, mode_t mode)
{
	return open_not_std_at(AT_FDCWD, name, flags, mode);
}

int open_not_std_at(int dirfd, const char *name, int flags, mode_t mode)
{
	bool creating = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
	int fd = creating ? openat(dirfd, name, flags, mode) : openat(dirfd, name, flags);
	if (fd < 0 || fd > STDERR_FILENO)
		return fd;

	int moved = fcntl(fd, flags & O_CLOEXEC ? F_DUPFD_CLOEXEC : F_DUPFD, STDERR_FILENO + 1);
	int err = errno;
	(void)close(fd);
	errno = err;
	return moved;
}

const char *last_component(const char *name)
{
	const char *base = name;
	bool after_slash = false;

	while (*base == '/')
		base++;
	for (const char *p = base; *p; p++) {
		if (*p == '/')
			after_slash = true;
		else if (after_slash) {
			base = p;
			after_slash = false;
		}
	}
	return base;
}
