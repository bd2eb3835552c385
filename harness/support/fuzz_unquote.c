// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz_unquote.h"

#include <string.h>

static int letter_value(char c)
{
	static const char letters[] = "abtnvfr";
	const char *p = c ? strchr(letters, c) : NULL;

	if (p)
		return 7 + (int)(p - letters);
	return c == '\\' || c == '\'' ? c : -1;
}

static int is_octal(char c)
{
	return c >= '0' && c <= '7';
}

long fuzz_unquote(const char *quoted, char *out)
{
	size_t len = strlen(quoted), i, n = 0;

	if (len < 2 || quoted[0] != '`' || quoted[len - 1] != '\'')
		return -1;
	for (i = 1; i < len - 1; i++) {
		char c = quoted[i];
		int v;

		// an unescaped closing mark would end the name early
		if (c == '\'')
			return -1;
		if (c != '\\') {
			out[n++] = c;
			continue;
		}
		c = quoted[++i];
		if (i + 2 < len - 1 && is_octal(c) && is_octal(quoted[i + 1]) &&
		    is_octal(quoted[i + 2]) && c <= '3') {
			out[n++] = (char)((c - '0') << 6 | (quoted[i + 1] - '0') << 3 |
					  (quoted[i + 2] - '0'));
			i += 2;
			continue;
		}
		v = i < len - 1 ? letter_value(c) : -1;
		if (v < 0)
			return -1;
		out[n++] = (char)v;
	}
	return (long)n;
}
