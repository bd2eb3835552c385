// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_DEVICE_H
#define _LINUX_DEVICE_H

#include <linux/compiler.h>
#include <linux/err.h>
#include <linux/gfp.h>
#include <linux/kernel.h>
#include <linux/list.h>
#include <linux/types.h>

struct module;
struct bus_type;
struct dev_pm_ops;
struct device;

struct device_driver {
	const char *name;
	struct bus_type *bus;
	struct module *owner;
	const struct dev_pm_ops *pm;
	int (*probe)(struct device *dev);
	int (*remove)(struct device *dev);
};

struct device {
	struct device *parent;
	const char *init_name;
	struct device_driver *driver;
	void *platform_data;
	/* the bus's own */
	void *driver_data;
	struct list_head devres_head;
	/* set by the bus or class that registers the device; any length */
	char *name;
};

static inline const char *dev_name(const struct device *dev)
{
	return dev->name;
}

static inline void *dev_get_drvdata(const struct device *dev)
{
	return dev->driver_data;
}

static inline void dev_set_drvdata(struct device *dev, void *data)
{
	dev->driver_data = data;
}

/* Memory released with the device's other managed resources. */
void *devm_kzalloc(struct device *dev, size_t size, gfp_t gfp);
void devm_kfree(struct device *dev, void *p);

__printf(3, 4) int dev_printk(const char *level, const struct device *dev,
			      const char *fmt, ...);

#define dev_err(dev, fmt, ...) dev_printk(KERN_ERR, dev, fmt, ##__VA_ARGS__)
#define dev_warn(dev, fmt, ...) \
	dev_printk(KERN_WARNING, dev, fmt, ##__VA_ARGS__)
#define dev_info(dev, fmt, ...) dev_printk(KERN_INFO, dev, fmt, ##__VA_ARGS__)
#define dev_dbg(dev, fmt, ...) dev_printk(KERN_DEBUG, dev, fmt, ##__VA_ARGS__)

#endif
