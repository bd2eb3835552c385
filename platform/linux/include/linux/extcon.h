// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_EXTCON_H
#define _LINUX_EXTCON_H

#include <linux/list.h>
#include <linux/types.h>

struct device;

/*
 * An external connector. The driver fills name and the optional print
 * operations before registering; the class owns the rest.
 */
struct extcon_dev {
	const char *name;
	const char **supported_cable;
	const u32 *mutually_exclusive;
	/* Render the name or state attribute into a page; length or -errno. */
	ssize_t (*print_name)(struct extcon_dev *edev, char *buf);
	ssize_t (*print_state)(struct extcon_dev *edev, char *buf);
	/* the class's own */
	struct device *dev;
	u32 state;
	struct list_head entry;
};

int extcon_dev_register(struct extcon_dev *edev, struct device *dev);
void extcon_dev_unregister(struct extcon_dev *edev);

static inline u32 extcon_get_state(struct extcon_dev *edev)
{
	return edev->state;
}

int extcon_set_state(struct extcon_dev *edev, u32 state);

#endif
