// SPDX-License-Identifier: GPL-2.0-or-later
// inplace: runs a program in a private mount namespace in which files of the
// build tree appear at fixed system paths, without touching the real ones.
//
//   inplace [-b SOURCE TARGET]... [--] PROGRAM [ARGUMENT]...
//
// /tmp is a fresh tmpfs, in which the build and source trees of this build
// stay visible at their places if they lie under /tmp (the programs, scripts
// and test directories are there). The directory of each TARGET is made
// writable by an overlay (upper layer in that tmpfs) on its nearest existing
// ancestor, the missing directories and an empty TARGET are created there,
// and SOURCE is bind-mounted on it.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#define MAX_BINDS 32

static const char *const kept_dirs[] = { INPLACE_BUILD_DIR, INPLACE_SOURCE_DIR };
#define KEPT_COUNT (sizeof kept_dirs / sizeof kept_dirs[0])

static char overlaid[MAX_BINDS][PATH_MAX];
static int overlay_count;

static void die(const char *what, const char *path)
{
	fprintf(stderr, "inplace: %s %s: %s\n", what, path ? path : "", strerror(errno));
	exit(126);
}

static int is_dir(const char *path)
{
	struct stat st;
	return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

static int under_overlay(const char *dir)
{
	for (int i = 0; i < overlay_count; i++) {
		size_t n = strlen(overlaid[i]);
		if (strncmp(dir, overlaid[i], n) == 0 && (dir[n] == '/' || dir[n] == '\0'))
			return 1;
	}
	return 0;
}

static void make_writable(const char *dir)
{
	char ancestor[PATH_MAX];
	char upper[PATH_MAX + 32], work[PATH_MAX + 32], options[4 * PATH_MAX + 128];

	snprintf(ancestor, sizeof ancestor, "%s", dir);
	while (!is_dir(ancestor)) {
		char *slash = strrchr(ancestor, '/');
		if (!slash || slash == ancestor) {
			strcpy(ancestor, "/");
			break;
		}
		*slash = '\0';
	}
	if (under_overlay(ancestor) || strcmp(ancestor, "/tmp") == 0 ||
	    strncmp(ancestor, "/tmp/", 5) == 0)
		return;
	if (overlay_count == MAX_BINDS)
		die("too many overlays", ancestor);
	snprintf(upper, sizeof upper, "/tmp/.inplace/%d/upper", overlay_count);
	snprintf(work, sizeof work, "/tmp/.inplace/%d/work", overlay_count);
	snprintf(options, sizeof options, "lowerdir=%s,upperdir=%s,workdir=%s", ancestor, upper,
		 work);
	char cmd_dir[PATH_MAX + 32];
	snprintf(cmd_dir, sizeof cmd_dir, "/tmp/.inplace/%d", overlay_count);
	if ((mkdir("/tmp/.inplace", 0700) != 0 && errno != EEXIST) || mkdir(cmd_dir, 0700) != 0 ||
	    mkdir(upper, 0755) != 0 || mkdir(work, 0700) != 0)
		die("mkdir", upper);
	if (mount("overlay", ancestor, "overlay", 0, options) != 0)
		die("overlay", ancestor);
	snprintf(overlaid[overlay_count++], PATH_MAX, "%s", ancestor);
}

static int under_tmp(const char *path)
{
	return strncmp(path, "/tmp/", 5) == 0;
}

static void make_dirs(const char *dir)
{
	char path[PATH_MAX];

	snprintf(path, sizeof path, "%s", dir);
	for (char *p = path + 1; *p; p++) {
		if (*p != '/')
			continue;
		*p = '\0';
		if (mkdir(path, 0755) != 0 && errno != EEXIST)
			die("mkdir", path);
		*p = '/';
	}
	if (mkdir(path, 0755) != 0 && errno != EEXIST)
		die("mkdir", path);
}

// Puts a directory held open from before the new /tmp back at its path.
static void restore_dir(const char *path, int fd)
{
	char source[64];

	make_dirs(path);
	snprintf(source, sizeof source, "/proc/self/fd/%d", fd);
	if (mount(source, path, NULL, MS_BIND | MS_REC, NULL) != 0)
		die("bind", path);
	close(fd);
}

int main(int argc, char **argv)
{
	const char *targets[MAX_BINDS];
	const char *source_paths[MAX_BINDS];
	int sources[MAX_BINDS];
	int count = 0;
	int i = 1;

	for (; i < argc; i++) {
		if (strcmp(argv[i], "--") == 0) {
			i++;
			break;
		}
		if (strcmp(argv[i], "-b") != 0 || i + 2 >= argc)
			break;
		if (count == MAX_BINDS)
			die("too many binds", NULL);
		source_paths[count] = argv[i + 1];
		targets[count++] = argv[i + 2];
		i += 2;
	}
	if (i >= argc) {
		fprintf(stderr,
			"usage: inplace [-b SOURCE TARGET]... [--] PROGRAM [ARGUMENT]...\n");
		return 126;
	}
	if (unshare(CLONE_NEWNS) != 0)
		die("unshare", NULL);
	if (mount("none", "/", NULL, MS_REC | MS_PRIVATE, NULL) != 0)
		die("mount private", "/");
	// Held open, in this namespace: a source may live where the new /tmp
	// will hide it.
	for (int b = 0; b < count; b++) {
		sources[b] = open(source_paths[b], O_PATH | O_CLOEXEC);
		if (sources[b] < 0)
			die("open", source_paths[b]);
	}
	int kept[KEPT_COUNT];
	for (size_t k = 0; k < KEPT_COUNT; k++) {
		kept[k] = -1;
		if (!under_tmp(kept_dirs[k]))
			continue;
		kept[k] = open(kept_dirs[k], O_PATH | O_DIRECTORY | O_CLOEXEC);
		if (kept[k] < 0)
			die("open", kept_dirs[k]);
	}
	if (mount("tmpfs", "/tmp", "tmpfs", 0, "mode=1777") != 0)
		die("tmpfs", "/tmp");
	for (size_t k = 0; k < KEPT_COUNT; k++) {
		if (kept[k] >= 0)
			restore_dir(kept_dirs[k], kept[k]);
	}
	for (int b = 0; b < count; b++) {
		char dir[PATH_MAX], source[64];
		snprintf(dir, sizeof dir, "%s", targets[b]);
		char *slash = strrchr(dir, '/');
		if (!slash || slash == dir)
			die("bad target", targets[b]);
		*slash = '\0';
		make_writable(dir);
		make_dirs(dir);
		int fd = open(targets[b], O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
		if (fd < 0)
			die("create", targets[b]);
		close(fd);
		snprintf(source, sizeof source, "/proc/self/fd/%d", sources[b]);
		if (mount(source, targets[b], NULL, MS_BIND, NULL) != 0)
			die("bind", targets[b]);
	}
	execvp(argv[i], argv + i);
	die("exec", argv[i]);
}
