// SPDX-License-Identifier: GPL-2.0-or-later
// transfer_bench SOURCE DEST: one transfer_regular with the installer's
// options; prints the CPU time of the copy, the process's peak RSS, the
// chunk size of the first read and what the copy allocated.
#include <fcntl.h>
#include <stdbool.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "frame.h"
#include "transfer.h"

ssize_t __real_read(int fd, void *buf, size_t count);
void *__real_malloc(size_t size);

static size_t first_read_size;
static bool counting;
static size_t allocations, allocated;

void *__wrap_malloc(size_t size)
{
	if (counting) {
		allocations++;
		allocated += size;
	}
	return __real_malloc(size);
}

ssize_t __wrap_read(int fd, void *buf, size_t count)
{
	if (!first_read_size)
		first_read_size = count;
	return __real_read(fd, buf, count);
}

static double cpu_seconds(void)
{
	struct rusage ru;
	getrusage(RUSAGE_SELF, &ru);
	return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
	       (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char **argv)
{
	frame_start(argv[0], 1);
	umask(0);
	if (argc != 3) {
		fprintf(stderr, "usage: %s SOURCE DEST\n", argv[0]);
		return 2;
	}
	struct copy_options options = {
		.follow_links = COPY_FOLLOW_ALWAYS,
		.prompting = COPY_PROMPT_NEVER,
		.force_mode = true,
		.forced_mode = 0600,
		.sparse_mode = SPARSE_AUTO,
	};
	struct stat st;
	if (stat(argv[1], &st) != 0) {
		perror(argv[1]);
		return 2;
	}

	const struct copy_dest dest = { .dirfd = AT_FDCWD, .at_name = argv[2], .name = argv[2] };
	double start = cpu_seconds();
	counting = true;
	bool ok = transfer_regular(argv[1], &dest, &options, &st, NULL);
	counting = false;
	double cpu = cpu_seconds() - start;

	struct rusage ru;
	getrusage(RUSAGE_SELF, &ru);
	printf("cpu %.4f maxrss_kb %ld chunk %zu mallocs %zu malloc_bytes %zu\n", cpu, ru.ru_maxrss,
	       first_read_size, allocations, allocated);
	return ok ? 0 : 1;
}
