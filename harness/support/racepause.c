// SPDX-License-Identifier: GPL-2.0-or-later
// Preloaded into a program under test to make a race deterministic: the
// program stops at the n-th call of one chosen function, before or after
// it, tells the test and waits until the test lets it go on.
//
//   QK_PAUSE_CALL   the call: acl_set_fd, mkdir, openat, unlinkat, waitpid
//                   or write
//   QK_PAUSE_AFTER  1 to stop after the call returned, else before it
//   QK_PAUSE_NTH    which call stops (1 when unset)
//   QK_PAUSE_DIR    a directory with two FIFOs: on stopping, the program
//                   writes one byte to "reached" (which the test holds open
//                   for reading) and reads one byte from "resume"
//
// A child the program forks counts its own calls from there on and stops as
// well. The variables, LD_PRELOAD among them, are removed at load so that
// programs it starts (which may be of another word size) do not load the
// library.
#define _GNU_SOURCE
// Both names of openat are defined here, so neither may be redirected.
#undef _TIME_BITS
#undef _FILE_OFFSET_BITS
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

static char pause_call[32];
static char pause_dir[4096];
static bool pause_after;
static long pause_nth = 1;
static long calls_seen;

__attribute__((constructor)) static void racepause_init(void)
{
	const char *call = getenv("QK_PAUSE_CALL");
	const char *dir = getenv("QK_PAUSE_DIR");
	const char *after = getenv("QK_PAUSE_AFTER");
	const char *nth = getenv("QK_PAUSE_NTH");

	if (!call || !dir)
		return;
	(void)snprintf(pause_call, sizeof pause_call, "%s", call);
	(void)snprintf(pause_dir, sizeof pause_dir, "%s", dir);
	pause_after = after && strcmp(after, "1") == 0;
	if (nth)
		pause_nth = strtol(nth, NULL, 10);
	(void)unsetenv("QK_PAUSE_CALL");
	(void)unsetenv("QK_PAUSE_DIR");
	(void)unsetenv("QK_PAUSE_AFTER");
	(void)unsetenv("QK_PAUSE_NTH");
	(void)unsetenv("LD_PRELOAD");
}

static int fifo_open(const char *name, int flags)
{
	char path[4200];

	(void)snprintf(path, sizeof path, "%s/%s", pause_dir, name);
	return open(path, flags | O_CLOEXEC);
}

// Stops when this is the chosen call at the chosen moment.
static void maybe_pause(const char *call, bool after)
{
	if (after != pause_after || strcmp(call, pause_call) != 0)
		return;
	if (++calls_seen != pause_nth)
		return;

	int saved = errno;
	char byte = 'r';
	// read-write, so that the read waits for the test's byte
	int resume = fifo_open("resume", O_RDWR);
	int reached = fifo_open("reached", O_WRONLY | O_NONBLOCK);
	if (resume < 0 || reached < 0 || write(reached, &byte, 1) != 1 ||
	    read(resume, &byte, 1) != 1) {
		dprintf(2, "racepause: cannot signal the test: %s\n", strerror(errno));
		_exit(126);
	}
	(void)close(reached);
	(void)close(resume);
	errno = saved;
}

#define NEXT(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

#define PAUSED_CALL(name, result, ...)            \
	do {                                      \
		maybe_pause(#name, false);        \
		result = NEXT(name)(__VA_ARGS__); \
		maybe_pause(#name, true);         \
	} while (0)

int acl_set_fd(int fd, acl_t acl)
{
	int r;
	PAUSED_CALL(acl_set_fd, r, fd, acl);
	return r;
}

int mkdir(const char *path, mode_t mode)
{
	int r;
	PAUSED_CALL(mkdir, r, path, mode);
	return r;
}

int unlinkat(int dirfd, const char *path, int flags)
{
	int r;
	PAUSED_CALL(unlinkat, r, dirfd, path, flags);
	return r;
}

pid_t waitpid(pid_t pid, int *status, int options)
{
	pid_t r;
	PAUSED_CALL(waitpid, r, pid, status, options);
	return r;
}

ssize_t write(int fd, const void *buf, size_t count)
{
	ssize_t r;
	PAUSED_CALL(write, r, fd, buf, count);
	return r;
}

static int openat_paused(const char *call, int dirfd, const char *path, int flags, mode_t mode)
{
	maybe_pause("openat", false);
	int r = ((int (*)(int, const char *, int, ...))dlsym(RTLD_NEXT, call))(dirfd, path, flags,
									       mode);
	maybe_pause("openat", true);
	return r;
}

int openat(int dirfd, const char *path, int flags, ...)
{
	va_list ap;
	va_start(ap, flags);
	mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
	va_end(ap);
	return openat_paused("openat", dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
	va_list ap;
	va_start(ap, flags);
	mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;
	va_end(ap);
	return openat_paused("openat64", dirfd, path, flags, mode);
}
