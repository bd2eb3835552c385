// SPDX-License-Identifier: GPL-2.0-or-later
// install_bench INSTALL FLOOR EMPTY EMPTY-WITH-LOCALE: times install against
// the floor program on 1000 small files (one run over all of them, and one
// run per file) and the start of install --version against an empty program,
// in the caller's locale and in the C locale. Each figure is the median of
// several rounds; measurement and floor alternate.
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define FILES 1000
#define ROUNDS 7

extern char **environ;

static char work[] = "/tmp/install-bench.XXXXXX";
static char *sources[FILES];

static double now(void)
{
	struct timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return ts.tv_sec + ts.tv_nsec / 1e9;
}

static void run(char **argv, int quiet)
{
	posix_spawn_file_actions_t fa;
	pid_t pid;
	int status;

	posix_spawn_file_actions_init(&fa);
	if (quiet)
		posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
	if (posix_spawn(&pid, argv[0], &fa, NULL, argv, environ) != 0) {
		perror(argv[0]);
		exit(1);
	}
	posix_spawn_file_actions_destroy(&fa);
	if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status)) {
		fprintf(stderr, "%s failed\n", argv[0]);
		exit(1);
	}
}

static void empty_dir(const char *dir)
{
	DIR *d = opendir(dir);
	struct dirent *e;
	char name[4096];

	if (!d) {
		mkdir(dir, 0755);
		return;
	}
	while ((e = readdir(d)))
		if (e->d_name[0] != '.') {
			snprintf(name, sizeof name, "%s/%s", dir, e->d_name);
			unlink(name);
		}
	closedir(d);
}

static int by_value(const void *a, const void *b)
{
	double x = *(const double *)a, y = *(const double *)b;
	return x < y ? -1 : x > y;
}

static double median(double *v)
{
	qsort(v, ROUNDS, sizeof *v, by_value);
	return v[ROUNDS / 2];
}

// One run of program over all files into a fresh directory.
static double one_run(const char *program, int is_install, const char *dir)
{
	char *argv[FILES + 5];
	int n = 0;

	empty_dir(dir);
	argv[n++] = (char *)program;
	if (is_install) {
		argv[n++] = "-m";
		argv[n++] = "644";
	}
	for (int i = 0; i < FILES; i++)
		argv[n++] = sources[i];
	argv[n++] = (char *)dir;
	argv[n] = NULL;
	double t = now();
	run(argv, 0);
	return now() - t;
}

// One run of program per file.
static double per_file(const char *program, int is_install, const char *dir)
{
	char dest[8192];

	empty_dir(dir);
	double t = now();
	for (int i = 0; i < FILES; i++) {
		if (is_install) {
			snprintf(dest, sizeof dest, "%s/%s", dir, strrchr(sources[i], '/') + 1);
			char *argv[] = { (char *)program, "-m", "644", sources[i], dest, NULL };
			run(argv, 0);
		} else {
			char *argv[] = { (char *)program, sources[i], (char *)dir, NULL };
			run(argv, 0);
		}
	}
	return now() - t;
}

static double starts(const char *program, int is_install)
{
	double t = now();
	for (int i = 0; i < FILES; i++) {
		char *argv[] = { (char *)program, is_install ? "--version" : NULL, NULL };
		run(argv, 1);
	}
	return now() - t;
}

static void report(const char *what, double *measured, double *floor, double target)
{
	double m = median(measured), f = median(floor);
	printf("%-44s %9.2f ms %9.2f ms %7.2fx", what, m * 1e3, f * 1e3, m / f);
	if (target > 0)
		printf("  (target %.1fx: %s)", target, m / f <= target ? "met" : "MISSED");
	putchar('\n');
}

int main(int argc, char **argv)
{
	double a[ROUNDS], b[ROUNDS];
	char dir[4096];

	if (argc != 5) {
		fprintf(stderr, "usage: %s INSTALL FLOOR EMPTY EMPTY-WITH-LOCALE\n", argv[0]);
		return 2;
	}
	if (!mkdtemp(work)) {
		perror("mkdtemp");
		return 1;
	}
	snprintf(dir, sizeof dir, "%s/src", work);
	mkdir(dir, 0755);
	char data[200];
	memset(data, 'x', sizeof data);
	for (int i = 0; i < FILES; i++) {
		if (asprintf(&sources[i], "%s/src/f%04d", work, i) < 0)
			return 1;
		int fd = open(sources[i], O_WRONLY | O_CREAT | O_TRUNC, 0644);
		if (fd < 0 || write(fd, data, sizeof data) != (ssize_t)sizeof data || close(fd))
			return 1;
	}
	snprintf(dir, sizeof dir, "%s/dst", work);

	printf("%d files of %zu bytes, median of %d rounds, LANG=%s LC_ALL=%s\n", FILES,
	       sizeof data, ROUNDS, getenv("LANG") ? getenv("LANG") : "",
	       getenv("LC_ALL") ? getenv("LC_ALL") : "");
	printf("%-44s %12s %12s %8s\n", "", "install", "floor", "ratio");
	for (int r = 0; r < ROUNDS; r++) {
		a[r] = one_run(argv[1], 1, dir);
		b[r] = one_run(argv[2], 0, dir);
	}
	report("one run over 1000 files", a, b, 1.3);
	for (int r = 0; r < ROUNDS; r++) {
		a[r] = per_file(argv[1], 1, dir);
		b[r] = per_file(argv[2], 0, dir);
	}
	report("1000 runs of one file each", a, b, 0);
	for (int r = 0; r < ROUNDS; r++) {
		a[r] = starts(argv[1], 1);
		b[r] = starts(argv[3], 0);
	}
	report("1000 starts (--version vs empty program)", a, b, 1.5);
	for (int r = 0; r < ROUNDS; r++) {
		a[r] = starts(argv[1], 1);
		b[r] = starts(argv[4], 0);
	}
	report("  the same vs empty program with setlocale", a, b, 0);
	setenv("LC_ALL", "C", 1);
	for (int r = 0; r < ROUNDS; r++) {
		a[r] = starts(argv[1], 1);
		b[r] = starts(argv[3], 0);
	}
	report("1000 starts with LC_ALL=C", a, b, 1.5);

	empty_dir(dir);
	rmdir(dir);
	snprintf(dir, sizeof dir, "%s/src", work);
	empty_dir(dir);
	rmdir(dir);
	rmdir(work);
	return 0;
}
