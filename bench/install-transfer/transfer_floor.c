// SPDX-License-Identifier: GPL-2.0-or-later
// transfer_floor SOURCE DEST CHUNK data|holes: the least a copy must do.
// "data" reads and writes CHUNK bytes at a time until a short read; "holes"
// reads CHUNK bytes at a time, seeks past each (the source is known to be
// all zeros) and sets the length at the end. Prints CPU time and peak RSS
// like transfer_bench.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <unistd.h>

static double cpu_seconds(void)
{
	struct rusage ru;
	getrusage(RUSAGE_SELF, &ru);
	return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
	       (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

static int copy(const char *source, const char *dest, size_t chunk, int holes)
{
	int in = open(source, O_RDONLY);
	int out = open(dest, O_WRONLY | O_CREAT | O_EXCL, 0600);
	char *buf = aligned_alloc(4096, (chunk + 4096) / 4096 * 4096);
	off_t total = 0;

	if (in < 0 || out < 0 || !buf)
		return 1;
	for (;;) {
		ssize_t n = read(in, buf, chunk);
		if (n <= 0)
			break;
		total += n;
		if (holes) {
			if (lseek(out, n, SEEK_CUR) < 0)
				return 1;
			continue;
		}
		for (ssize_t done = 0; done < n;) {
			ssize_t w = write(out, buf + done, (size_t)(n - done));
			if (w <= 0)
				return 1;
			done += w;
		}
		if ((size_t)n < chunk)
			break;
	}
	if (holes && ftruncate(out, total) != 0)
		return 1;
	free(buf);
	return close(out) != 0 || close(in) != 0;
}

int main(int argc, char **argv)
{
	if (argc != 5) {
		fprintf(stderr, "usage: %s SOURCE DEST CHUNK data|holes\n", argv[0]);
		return 2;
	}
	size_t chunk = strtoul(argv[3], NULL, 0);
	double start = cpu_seconds();
	int status = copy(argv[1], argv[2], chunk, strcmp(argv[4], "holes") == 0);
	double cpu = cpu_seconds() - start;
	struct rusage ru;
	getrusage(RUSAGE_SELF, &ru);
	printf("cpu %.4f maxrss_kb %ld chunk %zu\n", cpu, ru.ru_maxrss, chunk);
	return status;
}
