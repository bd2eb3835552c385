// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_SLAB_H
#define _LINUX_SLAB_H

#include <linux/gfp.h>
#include <linux/types.h>

void *kmalloc(size_t size, gfp_t flags);
void kfree(const void *ptr);

static inline void *kzalloc(size_t size, gfp_t flags)
{
	return kmalloc(size, flags | __GFP_ZERO);
}

#endif
