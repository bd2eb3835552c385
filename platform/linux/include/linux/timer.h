// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_TIMER_H
#define _LINUX_TIMER_H

#include <linux/jiffies.h>
#include <linux/types.h>

struct timer_list {
	struct list_head entry;
	unsigned long expires;
	void (*function)(unsigned long);
	unsigned long data;
};

#endif
