// SPDX-License-Identifier: GPL-2.0-or-later
// floor SOURCE... DIRECTORY: what installing must do at the least: read each
// source, create its copy in DIRECTORY, write it and set its mode.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int copy(const char *source, const char *dir)
{
	static char buf[65536];
	char name[4096];
	const char *base = strrchr(source, '/');

	base = base ? base + 1 : source;
	snprintf(name, sizeof name, "%s/%s", dir, base);
	int in = open(source, O_RDONLY);
	if (in < 0)
		return -1;
	int out = open(name, O_WRONLY | O_CREAT | O_EXCL, 0600);
	if (out < 0) {
		close(in);
		return -1;
	}
	ssize_t n;
	while ((n = read(in, buf, sizeof buf)) > 0)
		if (write(out, buf, (size_t)n) != n)
			n = -1;
	int r = n < 0 || close(out) != 0 || chmod(name, 0644) != 0 ? -1 : 0;
	close(in);
	return r;
}

int main(int argc, char **argv)
{
	int status = 0;

	for (int i = 1; i < argc - 1; i++)
		if (copy(argv[i], argv[argc - 1]) != 0) {
			perror(argv[i]);
			status = 1;
		}
	return status;
}
