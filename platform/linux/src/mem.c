// SPDX-License-Identifier: GPL-2.0-or-later
/* Kernel memory and device-managed resources. */
#include <stdlib.h>
#include <string.h>

#include <linux/device.h>
#include <linux/gpio.h>
#include <linux/list.h>
#include <linux/slab.h>

#include "ksim_internal.h"

struct kblock {
	size_t size;
	max_align_t data[];
};

struct devres {
	struct list_head entry;
	void (*release)(struct device *dev, void *res);
	size_t size;
	max_align_t data[];
};

static size_t blocks_held;

/* caller: the service asked, named in the report of a sleeping call */
static void *block_alloc(size_t size, gfp_t flags, const char *caller)
{
	struct kblock *b;

	if (flags & __GFP_WAIT)
		__might_sleep(caller);
	if (ksim_take_fault(KSIM_FAULT_KMALLOC))
		return NULL;
	b = malloc(sizeof(*b) + size);
	if (!b)
		return NULL;
	if (flags & __GFP_ZERO)
		memset(b->data, 0, size);
	b->size = size;
	blocks_held++;
	return b->data;
}

void *kmalloc(size_t size, gfp_t flags)
{
	return block_alloc(size, flags, __func__);
}

void kfree(const void *ptr)
{
	struct kblock *b;

	if (!ptr)
		return;
	b = (struct kblock *)((char *)ptr - offsetof(struct kblock, data));
	ksim_check_free(b->data, b->size);
	blocks_held--;
	free(b);
}

static struct devres *devres_alloc(void (*release)(struct device *, void *),
				   size_t size, gfp_t flags, const char *caller)
{
	struct devres *dr =
		block_alloc(sizeof(*dr) + size, flags | __GFP_ZERO, caller);

	if (!dr)
		return NULL;
	INIT_LIST_HEAD(&dr->entry);
	dr->release = release;
	dr->size = size;
	return dr;
}

static void devres_free(struct devres *dr)
{
	kfree(dr);
}

static void devm_kzalloc_release(struct device *dev, void *res)
{
	(void)dev;
	(void)res;
}

void *devm_kzalloc(struct device *dev, size_t size, gfp_t gfp)
{
	struct devres *dr =
		devres_alloc(devm_kzalloc_release, size, gfp, __func__);

	if (!dr)
		return NULL;
	list_add_tail(&dr->entry, &dev->devres_head);
	return dr->data;
}

void devm_kfree(struct device *dev, void *p)
{
	struct devres *dr;

	list_for_each_entry(dr, &dev->devres_head, entry) {
		if (dr->release == devm_kzalloc_release &&
		    (void *)dr->data == p) {
			list_del_init(&dr->entry);
			devres_free(dr);
			return;
		}
	}
	ksim_bug("devm_kfree of memory %s does not hold", dev_name(dev));
}

/* Managed GPIO: the resource holds the line number. */
static void devm_gpio_release(struct device *dev, void *res)
{
	unsigned gpio;

	(void)dev;
	memcpy(&gpio, res, sizeof(gpio));
	gpio_free(gpio);
}

int devm_gpio_request_one(struct device *dev, unsigned gpio,
			  unsigned long flags, const char *label)
{
	struct devres *dr;
	int ret;

	dr = devres_alloc(devm_gpio_release, sizeof(unsigned), GFP_KERNEL,
			  __func__);
	if (!dr)
		return -ENOMEM;
	ret = gpio_request_one(gpio, flags, label);
	if (ret) {
		devres_free(dr);
		return ret;
	}
	memcpy(dr->data, &gpio, sizeof(gpio));
	list_add_tail(&dr->entry, &dev->devres_head);
	return 0;
}

void devm_gpio_free(struct device *dev, unsigned int gpio)
{
	struct devres *dr;

	list_for_each_entry(dr, &dev->devres_head, entry) {
		if (dr->release == devm_gpio_release &&
		    !memcmp(dr->data, &gpio, sizeof(gpio))) {
			list_del_init(&dr->entry);
			gpio_free(gpio);
			devres_free(dr);
			return;
		}
	}
	ksim_bug("devm_gpio_free of line %u %s does not hold", gpio,
		 dev_name(dev));
}

void ksim_devres_release_all(struct device *dev)
{
	struct devres *dr;

	while (!list_empty(&dev->devres_head)) {
		dr = list_entry(dev->devres_head.prev, struct devres, entry);
		list_del_init(&dr->entry);
		dr->release(dev, dr->data);
		devres_free(dr);
	}
}

size_t ksim_devres_count_of(const struct device *dev)
{
	const struct devres *dr;
	size_t n = 0;

	list_for_each_entry(dr, &dev->devres_head, entry)
		n++;
	return n;
}

size_t ksim_mem_held(void)
{
	return blocks_held;
}

void ksim_mem_reset(void)
{
	/* Blocks still held are leaks of their owner; the count keeps them. */
}
