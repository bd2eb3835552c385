// SPDX-License-Identifier: GPL-2.0-or-later
// An application for the daemon's tests: prints what it was started with
// and exits with the status given as its first argument.
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((visibility("default"))) int main(int argc, char **argv)
{
	char cwd[4096];
	const char *mark = getenv("APP_MARK");

	printf("app:");
	for (int i = 1; i < argc; i++)
		printf(" [%s]", argv[i]);
	printf(" mark=%s cwd=%s\n", mark ? mark : "(unset)", getcwd(cwd, sizeof cwd) ? cwd : "?");
	fflush(stdout);
	return argc > 1 ? atoi(argv[1]) : 0;
}
