// SPDX-License-Identifier: GPL-2.0-or-later
// Runs "install -d" and "install -D" with arbitrary operands in a scratch
// tree, each run in a child process, and checks that nothing appears
// outside the tree, that every directory reported as created exists, that
// a successful run made every operand, and that "-D" with a relative
// destination ends where it started.
#define _GNU_SOURCE
#include <errno.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fuzz_scratch.h"
#include "fuzz_unquote.h"

#define MAX_OPERANDS 4
// depth of the starting directory below the tree's root
#define START_DEPTH 2

int install_main(int argc, char **argv);
// Present in sanitizer builds only.
void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

// The coverage counters of the program as the fuzzer registers them (the
// fuzzing build wraps the registration).
static uint8_t *counters;
static size_t counters_size;

#ifdef FUZZ_DIRS_CHILD_COVERAGE
void __real___sanitizer_cov_8bit_counters_init(uint8_t *start, uint8_t *stop);
void __wrap___sanitizer_cov_8bit_counters_init(uint8_t *start, uint8_t *stop)
{
	counters = start;
	counters_size = (size_t)(stop - start);
	__real___sanitizer_cov_8bit_counters_init(start, stop);
}
#endif

// The child's counters come back through this shared copy, so that the
// fuzzer sees what the run covered.
static uint8_t *child_counters;

static void share_counters(void)
{
	if (child_counters || !counters)
		return;
	child_counters = mmap(NULL, counters_size, PROT_READ | PROT_WRITE,
			      MAP_SHARED | MAP_ANONYMOUS, -1, 0);
	if (child_counters == MAP_FAILED)
		abort();
}

static _Noreturn void child_exit(int status)
{
	if (child_counters)
		memcpy(child_counters, counters, counters_size);
	_exit(status);
}

static void take_child_counters(void)
{
	for (size_t i = 0; child_counters && i < counters_size; i++)
		if (child_counters[i] > counters[i])
			counters[i] = child_counters[i];
}

struct run {
	const char *scratch;
	char root[4096];
	char start[4096];
	char source[4096];
	int make_leading; // -D, else -d
	char *operands[MAX_OPERANDS];
	int count;
};

// Whether the operand, read from the start (or from the root when
// absolute), never climbs above the tree's root. Nothing in the tree is a
// symbolic link, so the names alone decide it.
static int stays_inside(const char *operand)
{
	int depth = operand[0] == '/' ? 0 : START_DEPTH;

	for (const char *p = operand; *p;) {
		size_t len = strcspn(p, "/");
		if (len == 2 && p[0] == '.' && p[1] == '.' && --depth < 0)
			return 0;
		else if (len && !(len == 1 && p[0] == '.'))
			depth++;
		p += len + strspn(p + len, "/");
	}
	return 1;
}

static void make_tree(struct run *r)
{
	char w1[sizeof r->root + 3];
	int fd;

	(void)snprintf(w1, sizeof w1, "%s/w1", r->root);
	if (mkdir(r->root, 0755) != 0 || mkdir(w1, 0755) != 0 || mkdir(r->start, 0755) != 0)
		abort();
	fd = open(r->source, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
	if (fd < 0 || write(fd, "x\n", 2) != 2 || close(fd) != 0)
		abort();
}

static void leave_with(int status, void *arg)
{
	(void)arg;
	// the fuzzer's own exit handlers belong to the parent
	child_exit(status);
}

static void die_by_signal(void)
{
	abort();
}

// A fault in the child must show as its death by a signal: the fuzzer's
// own crash handling, inherited with the fork, belongs to the parent.
static void leave_faults_to_the_parent(void)
{
	static const int faults[] = { SIGABRT, SIGSEGV, SIGBUS, SIGILL, SIGFPE };

	for (size_t i = 0; i < sizeof faults / sizeof faults[0]; i++)
		(void)signal(faults[i], SIG_DFL);
	if (__sanitizer_set_death_callback)
		__sanitizer_set_death_callback(die_by_signal);
}

static _Noreturn void run_child(const struct run *r, int out)
{
	char *argv[MAX_OPERANDS + 5];
	int argc = 0, status;
	struct stat before, after;

	leave_faults_to_the_parent();
	if (dup2(out, STDERR_FILENO) < 0 || chdir(r->start) != 0 || stat(".", &before) != 0)
		child_exit(120);
	(void)freopen("/dev/null", "w", stdout);
	// plain quotation marks in the reports
	(void)setenv("LC_ALL", "C", 1);
	argv[argc++] = "install";
	program_invocation_name = argv[0];
	argv[argc++] = r->make_leading ? "-Dv" : "-dv";
	argv[argc++] = "--";
	if (r->make_leading)
		argv[argc++] = (char *)r->source;
	for (int i = 0; i < r->count; i++)
		argv[argc++] = r->operands[i];
	argv[argc] = NULL;
	(void)on_exit(leave_with, NULL);
	status = install_main(argc, argv);
	(void)fflush(NULL);
	// with a relative destination the working directory comes back
	if (r->make_leading && r->operands[0][0] != '/' &&
	    (stat(".", &after) != 0 || after.st_dev != before.st_dev ||
	     after.st_ino != before.st_ino)) {
		(void)fputs("working directory not restored\n", stderr);
		abort();
	}
	child_exit(status);
}

// The child's standard error, all of it.
static char *read_all(int fd)
{
	size_t size = 0, cap = 4096;
	char *text = malloc(cap);
	ssize_t n;

	while ((n = read(fd, text + size, cap - size - 1)) > 0 || (n < 0 && errno == EINTR)) {
		size += n > 0 ? (size_t)n : 0;
		if (cap - size - 1 == 0)
			text = realloc(text, cap *= 2);
	}
	text[size] = '\0';
	return text;
}

static void fail(const char *what, const char *name, const char *output)
{
	fprintf(stderr, "%s: %s\nthe run wrote:\n%s", what, name, output);
	abort();
}

static int is_dir_at(int dirfd, const char *name)
{
	struct stat st;

	return fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Checks each "creating directory" line of the run's output; quoting keeps
// a newline in a name from starting a line.
static void check_reports(int startfd, const char *output)
{
	static const char prefix[] = "install: creating directory ";
	size_t skip = sizeof prefix - 1;
	char *line = malloc(strlen(output) + 1);
	char *name = malloc(strlen(output) + 1);

	for (const char *p = output; *p; p += strcspn(p, "\n") + (p[strcspn(p, "\n")] != '\0')) {
		size_t len = strcspn(p, "\n");
		long n;

		if (strncmp(p, prefix, skip) != 0)
			continue;
		memcpy(line, p + skip, len - skip);
		line[len - skip] = '\0';
		n = fuzz_unquote(line, name);
		if (n < 0)
			fail("unreadable report", line, output);
		name[n] = '\0';
		if (!is_dir_at(startfd, name))
			fail("reported as created but missing", name, output);
	}
	free(name);
	free(line);
}

// Whether the operand of a successful run is there: a directory for -d; for
// -D the file, or the file inside an existing directory of that name.
static int made(int startfd, const char *operand, int make_leading)
{
	struct stat st;
	int fd;

	if (fstatat(startfd, operand, &st, 0) != 0)
		return 0;
	if (!make_leading || !S_ISDIR(st.st_mode))
		return make_leading ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode);
	fd = openat(startfd, operand, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (fd < 0)
		return 0;
	st.st_mode = 0;
	(void)fstatat(fd, "src", &st, AT_SYMLINK_NOFOLLOW);
	(void)close(fd);
	return S_ISREG(st.st_mode);
}

static void check_outcome(const struct run *r, int status, const char *output)
{
	int startfd = open(r->start, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	DIR *d = opendir(r->scratch);
	struct dirent *e;

	if (startfd < 0 || !d)
		abort();
	while ((e = readdir(d)) != NULL)
		if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..") &&
		    strcmp(e->d_name, "root") && strcmp(e->d_name, "src"))
			fail("made outside the tree", e->d_name, output);
	(void)closedir(d);
	check_reports(startfd, output);
	for (int i = 0; status == 0 && i < r->count; i++)
		if (!made(startfd, r->operands[i], r->make_leading))
			fail("success, but not made", r->operands[i], output);
	(void)close(startfd);
}

static void run_install(struct run *r)
{
	int pipefd[2], status;
	pid_t pid;
	char *output;

	share_counters();
	if (pipe2(pipefd, O_CLOEXEC) != 0)
		abort();
	pid = fork();
	if (pid < 0)
		abort();
	if (pid == 0) {
		(void)close(pipefd[0]);
		run_child(r, pipefd[1]);
	}
	(void)close(pipefd[1]);
	output = read_all(pipefd[0]);
	(void)close(pipefd[0]);
	if (waitpid(pid, &status, 0) != pid)
		abort();
	take_child_counters();
	if (!WIFEXITED(status) || WEXITSTATUS(status) > 1)
		fail("the run ended badly", r->operands[0], output);
	check_outcome(r, WEXITSTATUS(status), output);
	free(output);
}

// The first byte picks -D (odd) or -d; the rest, split at zero bytes, gives
// the operands. Absolute operands are taken below the tree's root.
int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	struct run r = { .scratch = fuzz_scratch_dir() };
	const char *text;
	size_t at = 1;

	if (size < 2 || size > 2048)
		return 0;
	(void)snprintf(r.root, sizeof r.root, "%s/root", r.scratch);
	(void)snprintf(r.start, sizeof r.start, "%s/root/w1/w2", r.scratch);
	(void)snprintf(r.source, sizeof r.source, "%s/src", r.scratch);
	r.make_leading = data[0] & 1;
	text = (const char *)data;
	while (at < size && r.count < (r.make_leading ? 1 : MAX_OPERANDS)) {
		const char *end = memchr(text + at, '\0', size - at);
		size_t len = end ? (size_t)(end - (text + at)) : size - at;
		// The input need not end in a zero byte: copy, do not strndup.
		char *operand = malloc(len + 1);

		if (!operand)
			abort();
		memcpy(operand, text + at, len);
		operand[len] = '\0';
		at += len + 1;
		if (!stays_inside(operand)) {
			free(operand);
			goto out;
		}
		r.operands[r.count] = malloc(strlen(r.root) + len + 1);
		(void)sprintf(r.operands[r.count++], "%s%s", operand[0] == '/' ? r.root : "",
			      operand);
		free(operand);
	}
	if (r.count == 0)
		return 0;
	make_tree(&r);
	run_install(&r);
	fuzz_scratch_clean(r.scratch);
out:
	for (int i = 0; i < r.count; i++)
		free(r.operands[i]);
	return 0;
}
