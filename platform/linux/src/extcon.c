// SPDX-License-Identifier: GPL-2.0-or-later
/* The extcon class: connectors, their state and its rendering. */
#include <stdlib.h>
#include <string.h>

#include <sanitizer/asan_interface.h>

#include <asm/page.h>
#include <linux/device.h>
#include <linux/errno.h>
#include <linux/extcon.h>
#include <linux/list.h>

#include "ksim_internal.h"

/* The class device made for each registered connector. */
struct class_dev {
	struct device dev;
	struct extcon_dev *edev;
	unsigned long changes;
};

static LIST_HEAD(registered);

static struct class_dev *class_dev_of(struct extcon_dev *edev)
{
	return container_of(edev->dev, struct class_dev, dev);
}

static void class_dev_free(struct class_dev *cdev)
{
	free(cdev->dev.name);
	free(cdev);
}

static struct extcon_dev *find_by_name(const char *name)
{
	struct extcon_dev *edev;

	list_for_each_entry(edev, &registered, entry)
		if (!strcmp(dev_name(edev->dev), name))
			return edev;
	return NULL;
}

static bool is_registered(struct extcon_dev *edev)
{
	struct extcon_dev *other;

	list_for_each_entry(other, &registered, entry)
		if (other == edev)
			return true;
	return false;
}

int extcon_dev_register(struct extcon_dev *edev, struct device *dev)
{
	const char *name = edev->name ? edev->name : dev_name(dev);
	struct class_dev *cdev;
	int err;

	might_sleep();
	err = ksim_take_fault(KSIM_FAULT_EXTCON_REGISTER);
	if (err)
		return err;
	if (is_registered(edev)) {
		ksim_bug("extcon device %s registered twice", name);
		return -EBUSY;
	}
	/* Two class devices of one name would clash in sysfs. */
	if (find_by_name(name))
		return -EEXIST;
	cdev = calloc(1, sizeof(*cdev));
	if (!cdev)
		return -ENOMEM;
	cdev->dev.name = ksim_name_printf("%s", name);
	if (!cdev->dev.name) {
		free(cdev);
		return -ENOMEM;
	}
	cdev->dev.parent = dev;
	INIT_LIST_HEAD(&cdev->dev.devres_head);
	cdev->edev = edev;
	edev->dev = &cdev->dev;
	list_add_tail(&edev->entry, &registered);
	return 0;
}

void extcon_dev_unregister(struct extcon_dev *edev)
{
	ksim_pass(KSIM_AT_EXTCON_UNREGISTER);
	might_sleep();
	if (!is_registered(edev)) {
		ksim_bug("unregistering an unregistered extcon device");
		return;
	}
	list_del_init(&edev->entry);
	class_dev_free(class_dev_of(edev));
	edev->dev = NULL;
	ksim_pass(KSIM_AFTER_EXTCON_UNREGISTER);
}

int extcon_set_state(struct extcon_dev *edev, u32 state)
{
	/* Notifiers run and a uevent is sent: both may sleep. */
	might_sleep();
	if (!is_registered(edev)) {
		ksim_bug("state set on an unregistered extcon device");
		return -ENODEV;
	}
	if (edev->state != state) {
		edev->state = state;
		class_dev_of(edev)->changes++;
	}
	return 0;
}

_Static_assert(PAGE_SIZE == KSIM_PAGE_SIZE, "the page tests are told of");

/* Bytes after the page that a rendering must leave as they are. */
#define GUARD_SIZE PAGE_SIZE
#define GUARD_BYTE 0x5a

static bool guard_intact(const char *guard)
{
	size_t i;

	for (i = 0; i < GUARD_SIZE; i++)
		if (guard[i] != GUARD_BYTE)
			return false;
	return true;
}

/*
 * A sysfs read: the attribute renders into a page, which is then copied.
 * A guard follows the page, so that a rendering that runs past it is
 * reported (the sanitizer stops it at the write) instead of corrupting the
 * run.
 */
static ssize_t read_attribute(const char *name, char *buf, size_t size,
			      bool state)
{
	struct extcon_dev *edev = find_by_name(name);
	char *page;
	ssize_t ret = -1;

	if (!edev)
		return -ENODEV;
	page = malloc(PAGE_SIZE + GUARD_SIZE);
	if (!page)
		return -ENOMEM;
	memset(page, 0, PAGE_SIZE);
	memset(page + PAGE_SIZE, GUARD_BYTE, GUARD_SIZE);
	ASAN_POISON_MEMORY_REGION(page + PAGE_SIZE, GUARD_SIZE);
	if (state && edev->print_state)
		ret = edev->print_state(edev, page);
	else if (!state && edev->print_name)
		ret = edev->print_name(edev, page);
	/* The class's own rendering when the driver has none or it fails. */
	if (ret < 0)
		ret = state ? scnprintf(page, PAGE_SIZE, "%u\n", edev->state)
			    : scnprintf(page, PAGE_SIZE, "%s\n",
					dev_name(edev->dev));
	ASAN_UNPOISON_MEMORY_REGION(page + PAGE_SIZE, GUARD_SIZE);
	if ((size_t)ret >= PAGE_SIZE || !guard_intact(page + PAGE_SIZE))
		ksim_bug("extcon %s: attribute overran its page", name);
	if ((size_t)ret >= PAGE_SIZE)
		ret = PAGE_SIZE - 1;
	if (size) {
		if ((size_t)ret >= size)
			ret = size - 1;
		memcpy(buf, page, ret);
		buf[ret] = '\0';
	}
	free(page);
	return ret;
}

ssize_t ksim_extcon_read_state(const char *name, char *buf, size_t size)
{
	return read_attribute(name, buf, size, true);
}

ssize_t ksim_extcon_read_name(const char *name, char *buf, size_t size)
{
	return read_attribute(name, buf, size, false);
}

unsigned long ksim_extcon_changes(const char *name)
{
	struct extcon_dev *edev = find_by_name(name);

	return edev ? class_dev_of(edev)->changes : 0;
}

size_t ksim_extcon_registered(void)
{
	struct extcon_dev *edev;
	size_t n = 0;

	list_for_each_entry(edev, &registered, entry)
		n++;
	return n;
}

void ksim_extcon_check_free(const char *p, size_t size)
{
	struct extcon_dev *edev, *next;

	list_for_each_entry_safe(edev, next, &registered, entry) {
		if ((const char *)edev >= p && (const char *)edev < p + size) {
			ksim_bug("memory freed while extcon %s is registered",
				 dev_name(edev->dev));
			list_del_init(&edev->entry);
			class_dev_free(class_dev_of(edev));
		}
	}
}

void ksim_extcon_reset(void)
{
	struct extcon_dev *edev, *next;

	list_for_each_entry_safe(edev, next, &registered, entry) {
		list_del_init(&edev->entry);
		class_dev_free(class_dev_of(edev));
		edev->dev = NULL;
	}
}
