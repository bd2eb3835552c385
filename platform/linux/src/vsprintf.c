// SPDX-License-Identifier: GPL-2.0-or-later
/* Formatting the kernel has and the C library lacks; names of any length. */
#define _GNU_SOURCE
#include <stdarg.h>
#include <stdio.h>

#include <linux/kernel.h>

#include "ksim_internal.h"

int scnprintf(char *buf, size_t size, const char *fmt, ...)
{
	va_list args;
	int n;

	va_start(args, fmt);
	n = vsnprintf(buf, size, fmt, args);
	va_end(args);
	if (n < 0 || size == 0)
		return 0;
	return (size_t)n < size ? n : (int)(size - 1);
}

char *ksim_name_printf(const char *fmt, ...)
{
	va_list args;
	char *name;
	int n;

	va_start(args, fmt);
	n = vasprintf(&name, fmt, args);
	va_end(args);
	return n < 0 ? NULL : name;
}
