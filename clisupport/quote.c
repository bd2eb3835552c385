// SPDX-License-Identifier: GPL-2.0-or-later
#include "quote.h"

#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>
#include <ctype.h>

#include "frame.h"
#include "xalloc.h"

struct quote_slot {
	uint32_t capacity;
	char *buffer;
};

// Slot 0 starts in this fixed area, so a short name costs no allocation.
static char quote_slot0_area[256];
static struct quote_slot quote_slot0 = { sizeof(quote_slot0_area), quote_slot0_area };
static struct quote_slot *quote_slots = &quote_slot0;
static int quote_slot_count = 1;

struct quote_out {
	char *buffer;
	size_t capacity;
	size_t length;
};

static void quote_put(struct quote_out *out, char c)
{
	if (out->length < out->capacity)
		out->buffer[out->length] = c;
	out->length++;
}

static void quote_put_text(struct quote_out *out, const char *text)
{
	while (*text)
		quote_put(out, *text++);
}

static void quote_put_octal(struct quote_out *out, unsigned char c)
{
	quote_put(out, '\\');
	quote_put(out, '0' + ((c >> 6) & 7));
	quote_put(out, '0' + ((c >> 3) & 7));
	quote_put(out, '0' + (c & 7));
}

static char quote_letter_escape(unsigned char c)
{
	switch (c) {
	case '\a':
		return 'a';
	case '\b':
		return 'b';
	case '\t':
		return 't';
	case '\n':
		return 'n';
	case '\v':
		return 'v';
	case '\f':
		return 'f';
	case '\r':
		return 'r';
	case '\\':
		return '\\';
	default:
		return 0;
	}
}

// The length of the run of locale characters starting at text[i], and
// whether all of it is printable.
static size_t quote_run_length(const char *text, size_t i, size_t size, int unibyte, int *printable)
{
	if (unibyte) {
		*printable = isprint((unsigned char)text[i]) != 0;
		return 1;
	}

	mbstate_t state;
	size_t run = 0;
	memset(&state, 0, sizeof(state));
	*printable = 1;
	do {
		wchar_t wc;
		size_t n = mbrtowc(&wc, text + i + run, size - i - run, &state);
		if (n == 0)
			break;
		if (n == (size_t)-1) {
			*printable = 0;
			break;
		}
		if (n == (size_t)-2) {
			*printable = 0;
			run = size - i;
			break;
		}
		if (!iswprint(wc))
			*printable = 0;
		run += n;
	} while (!mbsinit(&state));
	return run ? run : 1;
}

size_t quote_to_buffer(char *buffer, size_t capacity, const char *text)
{
	int unibyte = MB_CUR_MAX == 1;
	const char *open_mark = _("`");
	const char *close_mark = _("'");
	size_t close_length = strlen(close_mark);
	size_t size = strlen(text);
	struct quote_out out = { buffer, capacity, 0 };

	quote_put_text(&out, open_mark);
	for (size_t i = 0; i < size;) {
		unsigned char c = text[i];
		if (close_length && strncmp(text + i, close_mark, close_length) == 0)
			quote_put(&out, '\\');

		char letter = quote_letter_escape(c);
		if (letter) {
			quote_put(&out, '\\');
			quote_put(&out, letter);
			i++;
			continue;
		}
		if (c >= 32 && c <= 126 && c != '@') {
			quote_put(&out, c);
			i++;
			continue;
		}

		int printable;
		size_t run = quote_run_length(text, i, size, unibyte, &printable);
		for (size_t k = 0; k < run; k++) {
			if (printable)
				quote_put(&out, text[i + k]);
			else
				quote_put_octal(&out, text[i + k]);
		}
		i += run;
	}
	quote_put_text(&out, close_mark);
	if (out.length < capacity)
		buffer[out.length] = '\0';
	return out.length;
}

static void quote_grow_slots(int n)
{
	if ((size_t)n + 1 > SIZE_MAX / sizeof(struct quote_slot) || n == INT_MAX)
		die_memory_exhausted();
	size_t bytes = ((size_t)n + 1) * sizeof(struct quote_slot);
	if (quote_slots == &quote_slot0) {
		quote_slots = checked_malloc(bytes);
		quote_slots[0] = quote_slot0;
	} else {
		quote_slots = checked_realloc(quote_slots, bytes);
	}
	memset(quote_slots + quote_slot_count, 0,
	       ((size_t)n + 1 - quote_slot_count) * sizeof(struct quote_slot));
	quote_slot_count = n + 1;
}

char *quote_in_slot(int n, const char *text)
{
	int saved_errno = errno;

	if (n < 0)
		abort();
	if (n >= quote_slot_count)
		quote_grow_slots(n);

	struct quote_slot *slot = &quote_slots[n];
	size_t length = quote_to_buffer(slot->buffer, slot->capacity, text);
	if (length >= slot->capacity) {
		if (length >= UINT32_MAX)
			die_memory_exhausted();
		slot->capacity = length + 1;
		if (slot->buffer != quote_slot0_area)
			free(slot->buffer);
		slot->buffer = checked_malloc(slot->capacity);
		quote_to_buffer(slot->buffer, slot->capacity, text);
	}
	errno = saved_errno;
	return slot->buffer;
}

char *quote_name_n(int n, const char *text)
{
	return quote_in_slot(n, text);
}

char *quote_name(const char *text)
{
	return quote_in_slot(0, text);
}
