// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_TYPES_H
#define _LINUX_TYPES_H

#include <stdbool.h>
#include <stddef.h>

typedef unsigned char u8;
typedef unsigned short u16;
typedef unsigned int u32;
typedef unsigned long long u64;
typedef signed char s8;
typedef short s16;
typedef int s32;
typedef long long s64;

/* Same width as the C library's, so both may be seen in one unit. */
typedef __PTRDIFF_TYPE__ ssize_t;

typedef unsigned int gfp_t;

struct list_head {
	struct list_head *next, *prev;
};

#endif
