// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzzes the hash-link name test and the splitting of the directory list
// against plain reference versions written here.
#include "vexlink.h"

#include <stdlib.h>
#include <string.h>

static int reference_is_link(const char *s, int kinds)
{
	static const char hex[] = "0123456789ABCDEFabcdef";
	const char *digits;
	int crl;

	if (strspn(s, hex) < 8 || s[8] != '.')
		return 0;
	crl = s[9] == 'r';
	digits = s + 9 + crl;
	if (digits[0] == '\0' || strspn(digits, "0123456789") != strlen(digits))
		return 0;
	return (kinds & (crl ? KIND_CRL : KIND_CERT)) != 0;
}

struct elements {
	char *text[4097];
	size_t count;
	size_t stop_after; // each() fails on this call; 0: never
};

static int collect(const char *dir, void *ctx)
{
	struct elements *e = ctx;

	if (strlen(dir) < 2)
		abort();
	e->text[e->count++] = strdup(dir);
	return e->count == e->stop_after ? ERR_NOMEM : ERR_NONE;
}

static void reference_split(const char *s, struct elements *e)
{
	size_t n = strlen(s), start = 0, j;

	while (start < n) {
		for (j = start + 1; j < n && s[j] != ':'; j++)
			;
		if (j >= n)
			break;
		if (j - start >= 2)
			e->text[e->count++] = strndup(s + start, j - start);
		start = j + 1;
	}
	if (start < n && n - start >= 2)
		e->text[e->count++] = strdup(s + start);
}

static void free_elements(struct elements *e)
{
	for (size_t i = 0; i < e->count; i++)
		free(e->text[i]);
}

static void check_split(const char *s, size_t stop_after)
{
	static struct elements got, want;
	size_t len = strlen(s), i;
	char *copy = malloc(len + 1);
	int r;

	memcpy(copy, s, len + 1);
	got.count = want.count = 0;
	got.stop_after = stop_after;
	want.stop_after = 0;
	r = split_cert_dir_list(copy, collect, &got);
	reference_split(s, &want);
	if (stop_after && want.count > stop_after) {
		for (i = stop_after; i < want.count; i++)
			free(want.text[i]);
		want.count = stop_after;
	}
	if (got.count != want.count)
		abort();
	for (i = 0; i < got.count; i++)
		if (strcmp(got.text[i], want.text[i]) != 0)
			abort();
	if (r != (stop_after && got.count == stop_after ? ERR_NOMEM : ERR_NONE))
		abort();
	free_elements(&got);
	free_elements(&want);
	free(copy);
}

int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
	char *s;

	if (size > 4096)
		return 0;
	// Exactly sized, so that a read past the end is caught.
	s = malloc(size + 1);
	memcpy(s, data, size);
	s[size] = '\0';
	for (int kinds = 1; kinds <= 3; kinds++)
		if (is_hash_link_name(s, kinds) != reference_is_link(s, kinds))
			abort();
	check_split(s, 0);
	check_split(s, size > 0 ? data[0] % 4 + 1 : 1);
	free(s);
	return 0;
}
