// SPDX-License-Identifier: GPL-2.0-or-later
#include "backup.h"

#include <dirent.h>
#include <errno.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "keyword.h"
#include "xalloc.h"

// Names this short fit in every directory, so the limit is not asked for.
#define SHORT_NAME_MAX 14
// Assumed when the file system cannot tell its limit.
#define DEFAULT_NAME_MAX 255

const char *simple_backup_suffix = "~";

static void backup_usage_failure(void)
{
	exit(EXIT_FAILURE);
}

void (*argmatch_die)(void) = backup_usage_failure;

static const char *const backup_keywords[] = { "none", "off",	   "simple", "never", "existing",
					       "nil",  "numbered", "t",	     NULL };

static const enum backup_type backup_values[] = { backup_none,	    backup_none,
						  backup_simple,    backup_simple,
						  backup_existing,  backup_existing,
						  numbered_backups, numbered_backups };

static enum backup_type match_backup_keyword(const char *context, const char *argument)
{
	int i = match_argument_or_die(context, argument, backup_keywords, backup_values,
				      sizeof backup_values[0], argmatch_die);
	// a hook that returns must not make us index the table with -1
	if (i < 0)
		exit(EXIT_FAILURE);
	return backup_values[i];
}

enum backup_type backup_type_of(const char *context, const char *argument)
{
	if (argument && *argument)
		return match_backup_keyword(context, argument);

	const char *env = getenv("VERSION_CONTROL");
	if (env && *env)
		return match_backup_keyword("$VERSION_CONTROL", env);
	return backup_existing;
}

// Offset of the last component: after the last slash followed by a
// non-slash.
static size_t base_offset(const char *name)
{
	size_t base = 0;

	for (size_t i = 0; name[i]; i++)
		if (name[i] == '/' && name[i + 1] != '/' && name[i + 1] != '\0')
			base = i + 1;
	return base;
}

// Length of the component at name without its trailing slashes.
static size_t base_length(const char *base)
{
	size_t len = strlen(base);

	while (len > 1 && base[len - 1] == '/')
		len--;
	return len;
}

struct numbered_search {
	char *buf;
	size_t size;
	size_t number_at; // offset of the digits in buf
	size_t digits;	  // digits of the number the buffer holds
	bool taken;
	bool last_all_nines;
};

// Counts entry when it is a numbered backup of the component base (base_len
// bytes): base ".~" digits "~" with no leading zero. Keeps in the buffer one
// more than the highest number seen.
static void consider_entry(struct numbered_search *s, const char *entry, const char *base,
			   size_t base_len)
{
	size_t len = strlen(entry);

	if (len < base_len + 4 || memcmp(entry, base, base_len) != 0 || entry[base_len] != '.' ||
	    entry[base_len + 1] != '~')
		return;
	const char *digits = entry + base_len + 2;
	if (*digits < '1' || *digits > '9')
		return;
	const char *end = digits;
	bool all_nines = true;
	for (; *end >= '0' && *end <= '9'; end++)
		all_nines &= *end == '9';
	if (end[0] != '~' || end[1] != '\0')
		return;

	size_t count = (size_t)(end - digits);
	if (count < s->digits ||
	    (count == s->digits && memcmp(s->buf + s->number_at, digits, count) > 0))
		return;

	// the digits, the carry digit, "~" and the terminator
	size_t need = s->number_at + count + 3;
	if (need > s->size) {
		if (need > SIZE_MAX / 2)
			die_memory_exhausted();
		s->size = 2 * need;
		s->buf = checked_realloc(s->buf, s->size);
	}
	char *number = s->buf + s->number_at;
	size_t width = count + all_nines;
	number[0] = '0';
	memcpy(number + all_nines, digits, count);
	number[width] = '~';
	number[width + 1] = '\0';
	size_t i = width - 1;
	for (; number[i] == '9'; i--)
		number[i] = '0';
	number[i]++;

	s->digits = width;
	s->taken = true;
	s->last_all_nines = all_nines;
}

// Returns true when the buffer holds a name that needs no length check.
static bool numbered_name(struct numbered_search *s, const char *file, enum backup_type type)
{
	size_t base = base_offset(file);
	size_t base_len = base_length(file + base);

	strcpy(s->buf + base, ".");
	DIR *dir = opendir(s->buf);
	memcpy(s->buf + base, file + base, base_len);
	strcpy(s->buf + base + base_len, ".~1~");
	s->number_at = base + base_len + 2;
	s->digits = 1;
	s->taken = false;
	s->last_all_nines = false;

	if (dir) {
		struct dirent *entry;
		while ((entry = readdir(dir)) != NULL)
			if (entry->d_ino != 0)
				consider_entry(s, entry->d_name, file + base, base_len);
		(void)closedir(dir);
	}

	if (s->taken)
		return !s->last_all_nines;
	if (type == backup_existing) {
		strcpy(s->buf, file);
		strcat(s->buf, simple_backup_suffix);
	}
	return false;
}

// Shortens the last component of name when it is too long for its directory.
static void fit_name_limit(char *name, const char *file)
{
	size_t base = base_offset(name);
	size_t len = base_length(name + base);
	if (len <= SHORT_NAME_MAX)
		return;

	char saved[2] = { name[base], name[base + 1] };
	name[base] = '.';
	name[base + 1] = '\0';
	errno = 0;
	long limit = pathconf(name, _PC_NAME_MAX);
	int err = errno;
	name[base] = saved[0];
	name[base + 1] = saved[1];
	if (limit < 0) {
		if (err == 0)
			return;
		limit = DEFAULT_NAME_MAX;
	}
	if (len <= (size_t)limit)
		return;

	size_t keep = strlen(file + base_offset(file));
	if (keep >= (size_t)limit)
		keep = (size_t)limit - 1;
	name[base + keep] = '~';
	name[base + keep + 1] = '\0';
}

char *backup_name_for(const char *file, enum backup_type type)
{
	size_t file_len = strlen(file);
	size_t suffix_len = strlen(simple_backup_suffix);
	// 9 bytes hold ".~NNNNN~" and its terminator
	size_t room = suffix_len + 1 > 9 ? suffix_len + 1 : 9;
	if (room > SIZE_MAX - file_len - 1)
		die_memory_exhausted();

	struct numbered_search s = { .size = file_len + 1 + room };
	s.buf = checked_malloc(s.size);
	memcpy(s.buf, file, file_len + 1);

	if (type == backup_existing || type == numbered_backups) {
		if (numbered_name(&s, file, type))
			return s.buf;
	} else {
		strcpy(s.buf + file_len, simple_backup_suffix);
	}
	fit_name_limit(s.buf, file);
	return s.buf;
}
