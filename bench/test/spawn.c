// SPDX-License-Identifier: GPL-2.0-or-later
// spawn COUNT PROGRAM [WORD...]: starts PROGRAM with the words COUNT times,
// one after the other, and prints the seconds taken in all. A status other
// than 0 or 1 ends the run with a message.
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>

extern char **environ;

int main(int argc, char **argv)
{
	struct timespec start, end;
	long count;

	if (argc < 3) {
		fprintf(stderr, "usage: %s COUNT PROGRAM [WORD...]\n", argv[0]);
		return 2;
	}
	count = strtol(argv[1], NULL, 10);
	clock_gettime(CLOCK_MONOTONIC, &start);
	for (long i = 0; i < count; i++) {
		pid_t pid;
		int status;

		if (posix_spawn(&pid, argv[2], NULL, NULL, argv + 2, environ) != 0) {
			perror(argv[2]);
			return 2;
		}
		if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
			fprintf(stderr, "%s: unexpected status %d\n", argv[2], status);
			return 2;
		}
	}
	clock_gettime(CLOCK_MONOTONIC, &end);
	printf("%.6f\n", (double)(end.tv_sec - start.tv_sec) + (end.tv_nsec - start.tv_nsec) / 1e9);
	return 0;
}
