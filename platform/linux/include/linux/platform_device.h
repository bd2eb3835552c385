// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_PLATFORM_DEVICE_H
#define _LINUX_PLATFORM_DEVICE_H

#include <linux/device.h>
#include <linux/types.h>

#define PLATFORM_DEVID_NONE (-1)
#define PLATFORM_NAME_SIZE 20

struct platform_device_id {
	char name[PLATFORM_NAME_SIZE];
	unsigned long driver_data;
};

struct platform_device {
	const char *name;
	int id;
	struct device dev;
	u32 num_resources;
	struct resource *resource;
	const struct platform_device_id *id_entry;
	/* the bus's own */
	struct list_head bus_entry;
	int probe_result;
	bool sim_owned;
};

#define to_platform_device(x) container_of((x), struct platform_device, dev)

struct pm_message;

struct platform_driver {
	int (*probe)(struct platform_device *);
	int (*remove)(struct platform_device *);
	void (*shutdown)(struct platform_device *);
	int (*suspend)(struct platform_device *, struct pm_message *state);
	int (*resume)(struct platform_device *);
	struct device_driver driver;
	const struct platform_device_id *id_table;
	/* the bus's own */
	struct list_head bus_entry;
};

#define to_platform_driver(drv) \
	container_of((drv), struct platform_driver, driver)

int platform_driver_register(struct platform_driver *drv);
void platform_driver_unregister(struct platform_driver *drv);

int platform_device_register(struct platform_device *pdev);
void platform_device_unregister(struct platform_device *pdev);

static inline void *platform_get_drvdata(const struct platform_device *pdev)
{
	return dev_get_drvdata(&pdev->dev);
}

static inline void platform_set_drvdata(struct platform_device *pdev,
					void *data)
{
	dev_set_drvdata(&pdev->dev, data);
}

#endif
