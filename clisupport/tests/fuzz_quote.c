// SPDX-License-Identifier: GPL-2.0-or-later
// Quotes arbitrary bytes in three locales through several slots: the
// results hold no control byte, undo to the input, and each slot keeps its
// text while the others are used.
#include <errno.h>
#include <locale.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_unquote.h"
#include "quote.h"

#define TEXTS 3

static const char *const locales[] = { "C", "C.UTF-8", "de_DE.ISO-8859-1" };

static int is_control(unsigned char c, int one_byte_locale)
{
	if (c < 32 || c == 127)
		return 1;
	// C1 controls are single characters only where a character is a byte
	return one_byte_locale && c >= 128 && c < 160;
}

static void check_result(const char *text, const char *got, int one_byte_locale)
{
	size_t len = strlen(got);
	char *decoded = malloc(len + 1);
	long n;

	for (size_t i = 0; i < len; i++)
		if (is_control((unsigned char)got[i], one_byte_locale))
			abort();
	if (quote_to_buffer(NULL, 0, text) != len)
		abort();
	// every locale here has the plain marks and escapes only bytes
	n = fuzz_unquote(got, decoded);
	if (n < 0 || (size_t)n != strlen(text) || memcmp(decoded, text, (size_t)n) != 0)
		abort();
	free(decoded);
}

static void quote_all(char **texts, const int *slots, int one_byte_locale)
{
	char *got[TEXTS], *kept[TEXTS];

	for (int k = 0; k < TEXTS; k++) {
		errno = 1000 + k;
		got[k] = slots[k] ? quote_name_n(slots[k], texts[k]) : quote_name(texts[k]);
		if (errno != 1000 + k)
			abort();
		check_result(texts[k], got[k], one_byte_locale);
		kept[k] = strdup(got[k]);
	}
	// slot 0 again, with another text that may move it out of its fixed area
	check_result(texts[TEXTS - 1], quote_name(texts[TEXTS - 1]), one_byte_locale);
	for (int k = 1; k < TEXTS; k++)
		if (strcmp(got[k], kept[k]) != 0)
			abort();
	for (int k = 0; k < TEXTS; k++)
		free(kept[k]);
}

// The first byte picks the slots; the rest, split at zero bytes, gives the
// texts (missing ones are empty).
int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	int slots[TEXTS];
	char *texts[TEXTS];
	char *copy;
	size_t at = 1;

	if (size == 0 || size > 8192)
		return 0;
	slots[0] = 0;
	slots[1] = 1 + (data[0] & 7);
	slots[2] = slots[1] + 1 + (data[0] >> 3 & 7);
	copy = malloc(size + TEXTS);
	memcpy(copy, data, size);
	memset(copy + size, 0, TEXTS);
	for (int k = 0; k < TEXTS; k++) {
		texts[k] = copy + at;
		at += strlen(copy + at) + 1;
		if (at > size)
			at = size;
	}
	for (size_t i = 0; i < sizeof locales / sizeof locales[0]; i++) {
		if (!setlocale(LC_ALL, locales[i]))
			continue;
		quote_all(texts, slots, MB_CUR_MAX == 1);
	}
	(void)setlocale(LC_ALL, "C");
	free(copy);
	return 0;
}
