// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_JIFFIES_H
#define _LINUX_JIFFIES_H

#include <linux/param.h>
#include <linux/types.h>

/* Virtual: only the simulation advances it. */
extern volatile unsigned long jiffies;

/* Starts near the wrap, so code that compares ticks naively shows it. */
#define INITIAL_JIFFIES ((unsigned long)(unsigned int)(-300 * HZ))

#define time_after(a, b) ((long)((b) - (a)) < 0)
#define time_before(a, b) time_after(b, a)
#define time_after_eq(a, b) ((long)((a) - (b)) >= 0)
#define time_before_eq(a, b) time_after_eq(b, a)

#define MAX_JIFFY_OFFSET ((((unsigned long)~0UL) >> 1) - 1)

unsigned long msecs_to_jiffies(const unsigned int m);
unsigned int jiffies_to_msecs(const unsigned long j);

#endif
