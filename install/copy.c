// SPDX-License-Identifier: GPL-2.0-or-later
#include "copy.h"

#include <errno.h>
#include <error.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "backup.h"
#include "fileutil.h"
#include "frame.h"
#include "quote.h"
#include "transfer.h"
#include "xalloc.h"

// The driver's fixed values never trip this; it guards other callers.
static _Noreturn void copy_invariant_failed(const char *what, const char *operation)
{
	fprintf(stderr, "%s: copy: %s: assertion `%s' failed\n", program_name, operation, what);
	abort();
}

#define copy_require(cond) ((cond) ? (void)0 : copy_invariant_failed(#cond, __func__))

struct name_identity {
	char *name;
	ino_t ino;
	dev_t dev;
	struct name_identity *next;
};

struct created_names {
	struct name_identity **buckets;
	size_t n_buckets;
	size_t n_used;
};

#define CREATED_NAMES_HINT 61
#define CREATED_NAMES_LOAD 0.8
#define CREATED_NAMES_GROWTH 1.414

static bool is_prime(size_t n)
{
	for (size_t d = 3; d * d <= n; d += 2)
		if (n % d == 0)
			return false;
	return true;
}

static size_t next_prime(size_t candidate)
{
	if (candidate < 11)
		candidate = 11;
	candidate |= 1;
	while (!is_prime(candidate))
		candidate += 2;
	return candidate;
}

static size_t name_identity_hash(const char *name, ino_t ino, size_t n_buckets)
{
	uint32_t h = 0;

	for (const char *p = name; *p; p++)
		h = ((h << 9) | (h >> 23)) + (uint32_t)(signed char)*p;
	h %= n_buckets;
	return (size_t)(((uint64_t)ino | h) % n_buckets);
}

static void created_names_place(struct created_names *table, struct name_identity *entry)
{
	size_t i = name_identity_hash(entry->name, entry->ino, table->n_buckets);

	if (!table->buckets[i])
		table->n_used++;
	entry->next = table->buckets[i];
	table->buckets[i] = entry;
}

static void created_names_rebuild(struct created_names *table, size_t n_buckets)
{
	struct name_identity **old = table->buckets;
	size_t old_n = table->n_buckets;

	table->buckets = checked_malloc(n_buckets * sizeof *table->buckets);
	memset(table->buckets, 0, n_buckets * sizeof *table->buckets);
	table->n_buckets = n_buckets;
	table->n_used = 0;
	for (size_t i = 0; i < old_n; i++) {
		struct name_identity *e = old[i];
		while (e) {
			struct name_identity *next = e->next;
			created_names_place(table, e);
			e = next;
		}
	}
	free(old);
}

struct created_names *created_names_new(void)
{
	struct created_names *table = checked_malloc(sizeof *table);

	table->buckets = NULL;
	table->n_buckets = 0;
	created_names_rebuild(table, next_prime((size_t)(CREATED_NAMES_HINT / CREATED_NAMES_LOAD)));
	return table;
}

void created_names_free(struct created_names *table)
{
	for (size_t i = 0; i < table->n_buckets; i++) {
		struct name_identity *e = table->buckets[i];
		while (e) {
			struct name_identity *next = e->next;
			free(e->name);
			free(e);
			e = next;
		}
	}
	free(table->buckets);
	free(table);
}

bool created_names_contains(const struct created_names *table, const char *name, ino_t ino,
			    dev_t dev)
{
	size_t i = name_identity_hash(name, ino, table->n_buckets);

	for (const struct name_identity *e = table->buckets[i]; e; e = e->next)
		if (e->ino == ino && e->dev == dev && same_entry(e->name, name))
			return true;
	return false;
}

void created_names_insert(struct created_names *table, const char *name, ino_t ino, dev_t dev)
{
	if (created_names_contains(table, name, ino, dev))
		return;

	struct name_identity *entry = checked_malloc(sizeof *entry);
	entry->name = checked_strdup(name);
	entry->ino = ino;
	entry->dev = dev;
	created_names_place(table, entry);
	if (table->n_used > CREATED_NAMES_LOAD * table->n_buckets)
		created_names_rebuild(
			table, next_prime((size_t)(table->n_buckets * CREATED_NAMES_GROWTH)));
}

size_t created_names_bucket_count(const struct created_names *table)
{
	return table->n_buckets;
}

static size_t component_length(const char *base)
{
	size_t len = strlen(base);

	while (len > 1 && base[len - 1] == '/')
		len--;
	return len;
}

static char *directory_part(const char *name, const char *base)
{
	size_t len = (size_t)(base - name);

	while (len > 0 && name[len - 1] == '/')
		len--;
	if (len == 0 && name[0] == '/')
		len = 1;
	return len ? checked_strndup(name, len) : checked_strdup(".");
}

static void stat_directory_part(const char *dir, struct stat *st)
{
	if (stat(dir, st) != 0)
		error(EXIT_FAILURE, errno, "%s", quote_name(dir));
}

bool same_entry(const char *a, const char *b)
{
	const char *base_a = last_component(a);
	const char *base_b = last_component(b);
	size_t len_a = component_length(base_a);
	size_t len_b = component_length(base_b);

	if (len_a != len_b || memcmp(base_a, base_b, len_a) != 0)
		return false;

	char *dir_a = directory_part(a, base_a);
	char *dir_b = directory_part(b, base_b);
	struct stat st_a, st_b;
	stat_directory_part(dir_a, &st_a);
	stat_directory_part(dir_b, &st_b);
	free(dir_a);
	free(dir_b);
	return st_a.st_ino == st_b.st_ino && st_a.st_dev == st_b.st_dev;
}

static void valid_options(const struct copy_options *co)
{
	copy_require(co != NULL);
	copy_require(co->backup_type <= numbered_backups);
	copy_require(co->sparse_mode == SPARSE_NEVER || co->sparse_mode == SPARSE_AUTO ||
		     co->sparse_mode == SPARSE_ALWAYS);
	copy_require(!(co->hard_link && co->symbolic_link));
}

static bool same_status(const struct stat *a, const struct stat *b)
{
	return a->st_ino == b->st_ino && a->st_dev == b->st_dev;
}

// Whether replacing destination by a copy of source keeps the source's data.
static bool copy_is_safe(const char *source, const struct copy_dest *dest,
			 const struct stat *src_st, const struct stat *dst_st,
			 const struct copy_options *co)
{
	const char *destination = dest->name;
	struct stat src_l, dst_l;

	if (!same_status(src_st, dst_st))
		return true;
	if (fstatat(dest->dirfd, dest->at_name, &dst_l, AT_SYMLINK_NOFOLLOW) != 0 ||
	    lstat(source, &src_l) != 0)
		return true;

	bool same_link = same_status(&src_l, &dst_l);
	bool src_symlink = S_ISLNK(src_l.st_mode);
	bool dst_symlink = S_ISLNK(dst_l.st_mode);

	if (src_symlink && dst_symlink)
		return true;
	if (co->backup_type != backup_none) {
		if (same_link)
			return !same_entry(source, destination);
		return !(src_symlink && !dst_symlink);
	}
	if (dst_symlink)
		return true;
	if (same_link && dst_l.st_nlink > 1 && !same_entry(source, destination))
		return true;
	if (!src_symlink && !dst_symlink && !same_link)
		return true;
	return false;
}

// A backup differs from its destination only in the last component, which
// at_name always holds.
static const char *backup_at_name(const struct copy_dest *dest, const char *backup)
{
	return backup + (dest->at_name - dest->name);
}

// Moves an existing destination aside. Returns false after reporting;
// *backup is the backup's name, or NULL when the destination vanished.
static bool copy_make_backup(const char *source, const struct copy_dest *dest,
			     const struct copy_options *co, char **backup)
{
	const char *destination = dest->name;
	char *name = backup_name_for(destination, co->backup_type);

	*backup = NULL;
	if (strcmp(name, source) == 0) {
		error(0, 0, _("backing up %s would destroy source;  %s not copied"),
		      quote_name_n(0, destination), quote_name_n(1, source));
		free(name);
		return false;
	}
	if (renameat(dest->dirfd, dest->at_name, dest->dirfd, backup_at_name(dest, name)) == 0) {
		*backup = name;
		return true;
	}
	free(name);
	if (errno == ENOENT)
		return true;
	error(0, errno, _("cannot backup %s"), quote_name(destination));
	return false;
}

static void copy_undo_backup(const struct copy_dest *dest, const char *backup,
			     const struct copy_options *co)
{
	if (renameat(dest->dirfd, backup_at_name(dest, backup), dest->dirfd, dest->at_name) != 0)
		error(0, errno, _("cannot un-backup %s"), quote_name(dest->name));
	else if (co->verbose)
		printf(_("%s -> %s (unbackup)\n"), quote_name_n(0, backup),
		       quote_name_n(1, dest->name));
}

// Steps that look at an existing destination and clear it away.
static bool copy_clear_destination(const char *source, const struct copy_dest *dest,
				   const struct stat *src_st, const struct stat *dst_st,
				   const struct copy_options *co, char **backup)
{
	const char *destination = dest->name;

	if (!copy_is_safe(source, dest, src_st, dst_st, co)) {
		error(0, 0, _("%s and %s are the same file"), quote_name_n(0, source),
		      quote_name_n(1, destination));
		return false;
	}
	if (S_ISDIR(dst_st->st_mode)) {
		error(0, 0, _("cannot overwrite directory %s with non-directory"),
		      quote_name(destination));
		return false;
	}
	if (co->created_names && co->backup_type != numbered_backups &&
	    created_names_contains(co->created_names, destination, dst_st->st_ino,
				   dst_st->st_dev)) {
		error(0, 0, _("will not overwrite just-created %s with %s"),
		      quote_name_n(0, destination), quote_name_n(1, source));
		return false;
	}
	if (co->backup_type != backup_none)
		return copy_make_backup(source, dest, co, backup);

	if (unlinkat(dest->dirfd, dest->at_name, 0) != 0) {
		if (errno != ENOENT) {
			error(0, errno, _("cannot remove %s"), quote_name(destination));
			return false;
		}
	} else if (co->verbose) {
		printf(_("removed %s\n"), quote_name(destination));
	}
	return true;
}

bool copy_one(const char *source, const struct copy_dest *dest, const struct copy_options *co,
	      int *dest_fd)
{
	const char *destination = dest->name;
	struct stat src_st, dst_st;
	char *backup = NULL;

	valid_options(co);

	if (stat(source, &src_st) != 0) {
		error(0, errno, _("cannot stat %s"), quote_name(source));
		return false;
	}
	if (S_ISDIR(src_st.st_mode)) {
		error(0, 0, _("omitting directory %s"), quote_name(source));
		return false;
	}
	if (fstatat(dest->dirfd, dest->at_name, &dst_st, 0) != 0) {
		if (errno != ENOENT) {
			error(0, errno, _("cannot stat %s"), quote_name(destination));
			return false;
		}
	} else if (!copy_clear_destination(source, dest, &src_st, &dst_st, co, &backup)) {
		return false;
	}

	if (co->verbose) {
		printf("%s -> %s", quote_name_n(0, source), quote_name_n(1, destination));
		if (backup)
			printf(_(" (backup: %s)"), quote_name(backup));
		putchar('\n');
	}

	if (!transfer_regular(source, dest, co, &src_st, dest_fd)) {
		if (backup)
			copy_undo_backup(dest, backup, co);
		free(backup);
		return false;
	}
	free(backup);

	if (co->created_names) {
		struct stat st;
		if (fstatat(dest->dirfd, dest->at_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
			created_names_insert(co->created_names, destination, st.st_ino, st.st_dev);
	}
	return true;
}
