// SPDX-License-Identifier: GPL-2.0-or-later
// Runs one module operation from the command line for the tests:
//   backup-type [--hint] CONTEXT [ARGUMENT]     prints the type number
//   backup-name [--suffix=S] FILE TYPE          prints the backup name
//   transfer [--keep-times] [--sparse=1|2|3] [--replace=PATH] [--report]
//            SOURCE DEST
// --replace renames PATH over SOURCE between the stat and the transfer;
// --report prints the destination's mode, size and blocks afterwards.
// Seams around the system calls of the transfer, set from the environment:
//   PROBE_TRACE=1          log read, lseek and ftruncate calls on stdout
//   PROBE_READ_EINTR=n     the first n reads fail with EINTR
//   PROBE_WRITE_EINTR=n    the first n writes fail with EINTR
//   PROBE_WRITE_MAX=n      each write writes at most n bytes
//   PROBE_WRITE_STALL=1    writes write nothing
//   PROBE_ACL_ERRNO=n      acl_set_fd fails with error number n
//   PROBE_FCHMOD_ERRNO=n   fchmod fails with error number n
//   PROBE_READ_ERRNO=n, PROBE_LSEEK_ERRNO=n, PROBE_FTRUNCATE_ERRNO=n,
//   PROBE_TIMES_ERRNO=n (futimesat and utimensat), PROBE_CLOSE_ERRNO=n (after
//   closing descriptors above 2): those calls fail with error number n
//   PROBE_FSTAT_FAIL=n     the n-th fstat fails with EIO
#include <errno.h>
#include <fcntl.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "backup.h"
#include "frame.h"
#include "transfer.h"

ssize_t __real_read(int fd, void *buf, size_t count);
ssize_t __real_write(int fd, const void *buf, size_t count);
off_t __real_lseek(int fd, off_t offset, int whence);
off_t __real_lseek64(int fd, off_t offset, int whence);
int __real_ftruncate(int fd, off_t length);
int __real_ftruncate64(int fd, off_t length);
int __real_acl_set_fd(int fd, acl_t acl);
int __real_fchmod(int fd, mode_t mode);
int __real_fstat(int fd, struct stat *st);
int __real_fstat64(int fd, struct stat *st);
int __real_futimesat(int dirfd, const char *name, const struct timeval tv[2]);
int __real_utimensat(int dirfd, const char *name, const struct timespec ts[2], int flags);
int __real_close(int fd);

static long env_number(const char *name)
{
	const char *value = getenv(name);
	return value ? strtol(value, NULL, 0) : 0;
}

static long read_eintr_left = -1, write_eintr_left = -1;

// Sets errno and returns true when the variable asks this call to fail.
static bool injected(const char *name)
{
	long err = env_number(name);
	if (err)
		errno = (int)err;
	return err != 0;
}

ssize_t __wrap_read(int fd, void *buf, size_t count)
{
	if (read_eintr_left < 0)
		read_eintr_left = env_number("PROBE_READ_EINTR");
	if (read_eintr_left > 0) {
		read_eintr_left--;
		if (env_number("PROBE_TRACE"))
			printf("read %zu -> EINTR\n", count);
		errno = EINTR;
		return -1;
	}
	if (injected("PROBE_READ_ERRNO"))
		return -1;
	ssize_t n = __real_read(fd, buf, count);
	if (env_number("PROBE_TRACE"))
		printf("read %zu -> %zd\n", count, n);
	return n;
}

ssize_t __wrap_write(int fd, const void *buf, size_t count)
{
	if (fd <= STDERR_FILENO)
		return __real_write(fd, buf, count);
	if (write_eintr_left < 0)
		write_eintr_left = env_number("PROBE_WRITE_EINTR");
	if (write_eintr_left > 0) {
		write_eintr_left--;
		errno = EINTR;
		return -1;
	}
	if (env_number("PROBE_WRITE_STALL"))
		return 0;
	long max = env_number("PROBE_WRITE_MAX");
	if (max > 0 && count > (size_t)max)
		count = (size_t)max;
	return __real_write(fd, buf, count);
}

off_t __wrap_lseek(int fd, off_t offset, int whence)
{
	if (env_number("PROBE_TRACE"))
		printf("lseek %lld %d\n", (long long)offset, whence);
	if (injected("PROBE_LSEEK_ERRNO"))
		return -1;
	return __real_lseek(fd, offset, whence);
}

int __wrap_ftruncate(int fd, off_t length)
{
	if (env_number("PROBE_TRACE"))
		printf("ftruncate %lld\n", (long long)length);
	if (injected("PROBE_FTRUNCATE_ERRNO"))
		return -1;
	return __real_ftruncate(fd, length);
}

// Large-file builds call these names.
off_t __wrap_lseek64(int fd, off_t offset, int whence)
{
	if (env_number("PROBE_TRACE"))
		printf("lseek %lld %d\n", (long long)offset, whence);
	if (injected("PROBE_LSEEK_ERRNO"))
		return -1;
	return __real_lseek64(fd, offset, whence);
}

int __wrap_ftruncate64(int fd, off_t length)
{
	if (env_number("PROBE_TRACE"))
		printf("ftruncate %lld\n", (long long)length);
	if (injected("PROBE_FTRUNCATE_ERRNO"))
		return -1;
	return __real_ftruncate64(fd, length);
}

int __wrap_acl_set_fd(int fd, acl_t acl)
{
	long err = env_number("PROBE_ACL_ERRNO");
	if (err) {
		errno = (int)err;
		return -1;
	}
	return __real_acl_set_fd(fd, acl);
}

int __wrap_fchmod(int fd, mode_t mode)
{
	long err = env_number("PROBE_FCHMOD_ERRNO");
	if (err) {
		errno = (int)err;
		return -1;
	}
	if (env_number("PROBE_TRACE"))
		printf("fchmod %o\n", (unsigned)mode);
	return __real_fchmod(fd, mode);
}

static long fstat_calls;

// Counts the fstat calls under any of their names; true for the one to fail.
static bool fstat_fails(void)
{
	if (++fstat_calls != env_number("PROBE_FSTAT_FAIL"))
		return false;
	errno = EIO;
	return true;
}

int __wrap_fstat(int fd, struct stat *st)
{
	if (fstat_fails())
		return -1;
	return __real_fstat(fd, st);
}

int __wrap_fstat64(int fd, struct stat *st)
{
	if (fstat_fails())
		return -1;
	return __real_fstat64(fd, st);
}

#if __TIMESIZE == 32
// 32-bit builds with 64-bit times call these names.
int __real___fstat64_time64(int fd, struct stat *st);
int __real___futimesat64(int dirfd, const char *name, const struct timeval tv[2]);
int __real___utimensat64(int dirfd, const char *name, const struct timespec ts[2], int flags);

int __wrap___fstat64_time64(int fd, struct stat *st)
{
	if (fstat_fails())
		return -1;
	return __real___fstat64_time64(fd, st);
}

int __wrap___futimesat64(int dirfd, const char *name, const struct timeval tv[2])
{
	if (injected("PROBE_TIMES_ERRNO"))
		return -1;
	return __real___futimesat64(dirfd, name, tv);
}

int __wrap___utimensat64(int dirfd, const char *name, const struct timespec ts[2], int flags)
{
	if (injected("PROBE_TIMES_ERRNO"))
		return -1;
	return __real___utimensat64(dirfd, name, ts, flags);
}
#endif

int __wrap_futimesat(int dirfd, const char *name, const struct timeval tv[2])
{
	if (injected("PROBE_TIMES_ERRNO"))
		return -1;
	return __real_futimesat(dirfd, name, tv);
}

int __wrap_utimensat(int dirfd, const char *name, const struct timespec ts[2], int flags)
{
	if (injected("PROBE_TIMES_ERRNO"))
		return -1;
	return __real_utimensat(dirfd, name, ts, flags);
}

int __wrap_close(int fd)
{
	int result = __real_close(fd);
	if (fd > STDERR_FILENO && injected("PROBE_CLOSE_ERRNO"))
		return -1;
	return result;
}

static void usage_hint(void)
{
	fprintf(stderr, _("Try `%s --help' for more information.\n"), program_name);
	exit(EXIT_FAILURE);
}

static int backup_type_command(int argc, char **argv)
{
	if (argc > 0 && strcmp(argv[0], "--hint") == 0) {
		argmatch_die = usage_hint;
		argc--;
		argv++;
	}
	if (argc < 1)
		return 2;
	printf("%d\n", (int)backup_type_of(argv[0], argc > 1 ? argv[1] : NULL));
	return 0;
}

static int backup_name_command(int argc, char **argv)
{
	if (argc > 0 && strncmp(argv[0], "--suffix=", 9) == 0) {
		simple_backup_suffix = argv[0] + 9;
		argc--;
		argv++;
	}
	if (argc != 2)
		return 2;
	char *name = backup_name_for(argv[0], (enum backup_type)atoi(argv[1]));
	printf("%s\n", name);
	free(name);
	return 0;
}

static int transfer_command(int argc, char **argv)
{
	struct copy_options options = {
		.regular_copy_of_specials = true,
		.follow_links = COPY_FOLLOW_ALWAYS,
		.remove_existing_first = true,
		.prompting = COPY_PROMPT_NEVER,
		.force_mode = true,
		.forced_mode = 0600,
		.sparse_mode = SPARSE_AUTO,
	};
	const char *replacement = NULL;
	bool report = false;

	for (; argc > 0 && strncmp(argv[0], "--", 2) == 0; argc--, argv++) {
		if (strcmp(argv[0], "--keep-times") == 0)
			options.keep_times = true;
		else if (strncmp(argv[0], "--sparse=", 9) == 0)
			options.sparse_mode = (enum sparse_mode)atoi(argv[0] + 9);
		else if (strncmp(argv[0], "--replace=", 10) == 0)
			replacement = argv[0] + 10;
		else if (strcmp(argv[0], "--report") == 0)
			report = true;
		else
			return 2;
	}
	if (argc != 2)
		return 2;

	struct stat st;
	if (stat(argv[0], &st) != 0) {
		perror(argv[0]);
		return 2;
	}
	if (replacement && rename(replacement, argv[0]) != 0) {
		perror(replacement);
		return 2;
	}
	const struct copy_dest dest = { AT_FDCWD, argv[1], argv[1] };
	bool ok = transfer_regular(argv[0], &dest, &options, &st, NULL);
	if (report && lstat(argv[1], &st) == 0)
		printf("mode %04o size %lld blocks %lld\n", (unsigned)(st.st_mode & 07777),
		       (long long)st.st_size, (long long)st.st_blocks);
	return ok ? 0 : 1;
}

int main(int argc, char **argv)
{
	frame_start(argv[0], 1);
	umask(0);
	if (argc < 2)
		return 2;
	if (strcmp(argv[1], "backup-type") == 0)
		return backup_type_command(argc - 2, argv + 2);
	if (strcmp(argv[1], "backup-name") == 0)
		return backup_name_command(argc - 2, argv + 2);
	if (strcmp(argv[1], "transfer") == 0)
		return transfer_command(argc - 2, argv + 2);
	return 2;
}
