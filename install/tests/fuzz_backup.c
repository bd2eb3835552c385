// SPDX-License-Identifier: GPL-2.0-or-later
// Names backups of an arbitrary file name in a directory holding arbitrary
// entries, and compares the result with a reference written here: a
// numbered name carries one more than the highest number among the entries
// that count, and a shortened name fits the directory's name limit.
#include <fcntl.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "backup.h"
#include "fuzz_scratch.h"

#define MAX_ENTRIES 64

static const char *const suffixes[] = { "~", ".orig", ".a-rather-long-backup-suffix~" };
static const enum backup_type types[] = { backup_simple, backup_existing, numbered_backups };

struct listing {
	const char *names[MAX_ENTRIES];
	size_t count;
};

static size_t last_component(const char *name)
{
	size_t at = 0;

	for (size_t i = 0; name[i]; i++)
		if (name[i] == '/' && name[i + 1] && name[i + 1] != '/')
			at = i + 1;
	return at;
}

static size_t without_trailing_slashes(const char *component)
{
	size_t len = strlen(component);

	while (len > 1 && component[len - 1] == '/')
		len--;
	return len;
}

// The digits of entry when it is a numbered backup of base (len bytes).
static const char *backup_number(const char *entry, const char *base, size_t len)
{
	const char *digits = entry + len + 2, *end;

	if (strncmp(entry, base, len) != 0 || entry[len] != '.' || entry[len + 1] != '~')
		return NULL;
	if (*digits < '1' || *digits > '9')
		return NULL;
	end = digits + strspn(digits, "0123456789");
	return strcmp(end, "~") == 0 ? digits : NULL;
}

static bool number_above(const char *a, const char *b)
{
	size_t la = strcspn(a, "~"), lb = strcspn(b, "~");

	return la != lb ? la > lb : strncmp(a, b, la) > 0;
}

// file[0, head) ".~" (number + 1) "~"; returns whether a digit was added.
static bool put_next_number(char *out, const char *file, size_t head, const char *number)
{
	size_t n = strcspn(number, "~"), i = n;
	char *digits;

	memcpy(out, file, head);
	memcpy(out + head, ".~0", 3);
	digits = out + head + 3;
	memcpy(digits, number, n);
	strcpy(digits + n, "~");
	while (i > 0 && digits[i - 1] == '9')
		digits[--i] = '0';
	if (i > 0) {
		digits[i - 1]++;
		memmove(digits - 1, digits, n + 2);
		return false;
	}
	digits[-1] = '1';
	return true;
}

static char *reference_name(const char *file, enum backup_type type, const struct listing *l,
			    long limit)
{
	size_t base = last_component(file);
	size_t len = without_trailing_slashes(file + base);
	char *out = malloc(strlen(file) + 64 + strlen(simple_backup_suffix) + 4096);
	const char *best = NULL;
	bool check_length = true;

	for (size_t i = 0; type != backup_simple && i < l->count; i++) {
		const char *number = backup_number(l->names[i], file + base, len);
		if (number && (!best || number_above(number, best)))
			best = number;
	}
	if (best)
		check_length = put_next_number(out, file, base + len, best);
	else if (type == numbered_backups)
		(void)put_next_number(out, file, base + len, "0~");
	else
		(void)strcat(strcpy(out, file), simple_backup_suffix);

	size_t out_base = last_component(out);
	if (check_length && without_trailing_slashes(out + out_base) > 14 &&
	    without_trailing_slashes(out + out_base) > (size_t)limit) {
		size_t keep = strlen(file + base);
		if (keep >= (size_t)limit)
			keep = (size_t)limit - 1;
		strcpy(out + out_base + keep, "~");
	}
	return out;
}

static void make_entries(int dirfd, char *text, size_t size, struct listing *l)
{
	for (size_t at = 0; at < size && l->count < MAX_ENTRIES; at += strlen(text + at) + 1) {
		const char *name = text + at;
		int fd;

		if (strchr(name, '/'))
			continue;
		fd = openat(dirfd, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
		if (fd < 0)
			continue;
		(void)close(fd);
		l->names[l->count++] = name;
	}
}

// The first byte picks the kind and the suffix; the rest, split at zero
// bytes, is the file name (a name in the scratch directory, possibly with
// trailing slashes) and the entries to put beside it.
int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	const char *dir = fuzz_scratch_dir();
	struct listing listing = { .count = 0 };
	char *text, *file, *got, *want;
	size_t name_len;
	long limit;
	int dirfd;

	if (size < 2 || size > 16384)
		return 0;
	text = calloc(size + 1, 1);
	memcpy(text, data + 1, size - 1);
	name_len = strlen(text);
	// only trailing slashes, so that the directory searched is the scratch one
	if (name_len == 0 || text[0] == '/' || last_component(text) != 0) {
		free(text);
		return 0;
	}
	dirfd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	if (dirfd < 0)
		abort();
	limit = fpathconf(dirfd, _PC_NAME_MAX);
	make_entries(dirfd, text + name_len + 1, size - 1 > name_len ? size - 2 - name_len : 0,
		     &listing);
	file = malloc(strlen(dir) + name_len + 2);
	(void)sprintf(file, "%s/%s", dir, text);

	simple_backup_suffix = suffixes[data[0] % 3];
	enum backup_type type = types[data[0] / 3 % 3];
	got = backup_name_for(file, type);
	want = reference_name(file, type, &listing, limit);
	if (strcmp(got, want) != 0) {
		fprintf(stderr, "backup of %s: got %s, want %s\n", file, got, want);
		abort();
	}
	if (without_trailing_slashes(got + last_component(got)) > (size_t)limit)
		abort();

	free(want);
	free(got);
	free(file);
	(void)close(dirfd);
	fuzz_scratch_clean(dir);
	free(text);
	return 0;
}
