// SPDX-License-Identifier: GPL-2.0-or-later
#include "keyword.h"

#include <error.h>
#include <stdio.h>
#include <string.h>

#include "frame.h"
#include "quote.h"

static const char *keyword_value(const void *values, size_t value_size, int i)
{
	return (const char *)values + (size_t)i * value_size;
}

int match_argument(const char *argument, const char *const *keywords, const void *values,
		   size_t value_size)
{
	size_t length = strlen(argument);
	int found = -1;
	int ambiguous = 0;

	for (int i = 0; keywords[i]; i++) {
		if (strncmp(keywords[i], argument, length) != 0)
			continue;
		if (strlen(keywords[i]) == length)
			return i;
		if (found < 0)
			found = i;
		else if (!values || memcmp(keyword_value(values, value_size, found),
					   keyword_value(values, value_size, i), value_size) != 0)
			ambiguous = 1;
	}
	if (ambiguous)
		return -2;
	return found;
}

void report_bad_argument(const char *context, const char *argument, int problem)
{
	const char *format =
		problem == -1 ? _("invalid argument %s for %s") : _("ambiguous argument %s for %s");
	error(0, 0, format, quote_name_n(0, argument), quote_name_n(1, context));
}

void list_valid_arguments(const char *const *keywords, const void *values, size_t value_size)
{
	const char *line_value = NULL;

	fputs(_("Valid arguments are:"), stderr);
	for (int i = 0; keywords[i]; i++) {
		const char *value = values ? keyword_value(values, value_size, i) : NULL;
		if (i == 0 || !values || memcmp(line_value, value, value_size) != 0) {
			fprintf(stderr, "\n  - `%s'", keywords[i]);
			line_value = value;
		} else {
			fprintf(stderr, ", `%s'", keywords[i]);
		}
	}
	putc('\n', stderr);
}

int match_argument_or_die(const char *context, const char *argument, const char *const *keywords,
			  const void *values, size_t value_size, void (*hook)(void))
{
	int i = match_argument(argument, keywords, values, value_size);
	if (i >= 0)
		return i;
	report_bad_argument(context, argument, i);
	list_valid_arguments(keywords, values, value_size);
	hook();
	return -1;
}
