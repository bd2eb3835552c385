// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz_scratch.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static char scratch[PATH_MAX];
static pid_t scratch_owner;

// Empties the directory open at fd and closes it. Returns 0, or -1 when an
// entry could not be removed.
static int empty_dir(int fd)
{
	DIR *d = fdopendir(fd);
	struct dirent *e;
	int r = 0;

	if (!d) {
		(void)close(fd);
		return -1;
	}
	while ((e = readdir(d)) != NULL) {
		if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
			continue;
		if (unlinkat(fd, e->d_name, 0) == 0)
			continue;
		int sub = openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
		// a directory made without owner permissions still empties as root
		if (sub < 0 || empty_dir(sub) != 0 || unlinkat(fd, e->d_name, AT_REMOVEDIR) != 0)
			r = -1;
	}
	(void)closedir(d);
	return r;
}

void fuzz_scratch_clean(const char *path)
{
	int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);

	if (fd < 0 || empty_dir(fd) != 0) {
		perror(path);
		abort();
	}
}

static void remove_scratch(void)
{
	// forked children share the atexit list; only the maker removes
	if (getpid() != scratch_owner)
		return;
	fuzz_scratch_clean(scratch);
	(void)rmdir(scratch);
}

const char *fuzz_scratch_dir(void)
{
	const char *tmp = getenv("TMPDIR");

	if (scratch[0])
		return scratch;
	if (!tmp || !*tmp)
		tmp = "/tmp";
	(void)snprintf(scratch, sizeof scratch, "%s/qkfuzz.XXXXXX", tmp);
	if (!mkdtemp(scratch)) {
		perror(scratch);
		abort();
	}
	scratch_owner = getpid();
	(void)atexit(remove_scratch);
	return scratch;
}
