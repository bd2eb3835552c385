// SPDX-License-Identifier: GPL-2.0-or-later
#include "xstrtol.h"

#include <ctype.h>
#include <errno.h>
#include <stdlib.h>

enum strtol_error xstrtoul(const char *s, char **end, int base, unsigned long *value)
{
	char *stop;
	const char *p = s;

	while (isspace((unsigned char)*p))
		p++;
	// strtoul would quietly negate the value
	if (*p == '-')
		return LONGINT_INVALID;

	errno = 0;
	unsigned long v = strtoul(p, &stop, base);
	if (end)
		*end = stop;
	if (stop == p)
		return LONGINT_INVALID;
	if (errno == ERANGE)
		return LONGINT_OVERFLOW;
	*value = v;
	return LONGINT_OK;
}
