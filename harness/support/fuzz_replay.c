// SPDX-License-Identifier: GPL-2.0-or-later
// Replays seed inputs through a fuzz target in builds without libFuzzer.
// Arguments are files or directories of files.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int replay_file(const char *path)
{
	FILE *f = fopen(path, "rb");
	if (!f) {
		perror(path);
		return 1;
	}
	size_t cap = 4096, len = 0;
	uint8_t *buf = malloc(cap);
	size_t n;
	while (buf && (n = fread(buf + len, 1, cap - len, f)) > 0) {
		len += n;
		if (len == cap) {
			uint8_t *bigger = realloc(buf, cap * 2);
			if (!bigger) {
				free(buf);
				buf = NULL;
				break;
			}
			buf = bigger;
			cap *= 2;
		}
	}
	fclose(f);
	if (!buf)
		return 1;
	LLVMFuzzerTestOneInput(buf, len);
	free(buf);
	return 0;
}

static int replay_path(const char *path)
{
	struct stat st;
	if (stat(path, &st) != 0) {
		perror(path);
		return 1;
	}
	if (!S_ISDIR(st.st_mode))
		return replay_file(path);

	struct dirent **names;
	int count = scandir(path, &names, NULL, alphasort);
	if (count < 0) {
		perror(path);
		return 1;
	}
	int failed = 0;
	for (int i = 0; i < count; i++) {
		char child[4096];
		if (names[i]->d_name[0] != '.') {
			snprintf(child, sizeof(child), "%s/%s", path, names[i]->d_name);
			failed |= replay_path(child);
		}
		free(names[i]);
	}
	free(names);
	return failed;
}

int main(int argc, char **argv)
{
	int failed = 0;
	for (int i = 1; i < argc; i++)
		failed |= replay_path(argv[i]);
	return failed;
}
