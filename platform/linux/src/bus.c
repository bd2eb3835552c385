// SPDX-License-Identifier: GPL-2.0-or-later
/* The module loader and the platform bus. */
#include <stdlib.h>
#include <string.h>

#include <linux/device.h>
#include <linux/errno.h>
#include <linux/list.h>
#include <linux/module.h>
#include <linux/platform_device.h>

#include "ksim_internal.h"

static LIST_HEAD(modules);
static LIST_HEAD(drivers);
static LIST_HEAD(devices);

/* Devices made by ksim_device_add(), freed when removed. */
struct sim_device {
	struct platform_device pdev;
	char name[];
};

void __module_add(struct module *mod)
{
	list_add_tail(&mod->list, &modules);
}

static struct module *find_module(const char *name)
{
	struct module *mod;

	list_for_each_entry(mod, &modules, list)
		if (!strcmp(mod->name, name))
			return mod;
	return NULL;
}

int ksim_module_load(const char *name)
{
	struct module *mod = find_module(name);
	int ret;

	if (!mod)
		return -ENOENT;
	if (mod->live)
		return -EEXIST;
	ret = mod->init ? mod->init() : 0;
	if (ret)
		return ret;
	mod->live = true;
	return 0;
}

int ksim_module_unload(const char *name)
{
	struct module *mod = find_module(name);

	if (!mod || !mod->live)
		return -ENOENT;
	/* A module without exit cannot be unloaded. */
	if (!mod->exit)
		return -EBUSY;
	mod->exit();
	mod->live = false;
	return 0;
}

bool ksim_module_loaded(const char *name)
{
	struct module *mod = find_module(name);

	return mod && mod->live;
}

static bool platform_match(struct platform_device *pdev,
			   struct platform_driver *drv)
{
	const struct platform_device_id *id;

	if (drv->id_table) {
		for (id = drv->id_table; id->name[0]; id++)
			if (!strcmp(pdev->name, id->name)) {
				pdev->id_entry = id;
				return true;
			}
		return false;
	}
	return !strcmp(pdev->name, drv->driver.name);
}

static void device_probe(struct platform_device *pdev,
			 struct platform_driver *drv)
{
	int ret;

	pdev->dev.driver = &drv->driver;
	ret = drv->probe ? drv->probe(pdev) : 0;
	pdev->probe_result = ret;
	if (!ret)
		return;

	ksim_devres_release_all(&pdev->dev);
	dev_set_drvdata(&pdev->dev, NULL);
	pdev->dev.driver = NULL;
	if (ret != -ENODEV && ret != -ENXIO)
		printk(KERN_WARNING "%s: probe of %s failed with error %d\n",
		       drv->driver.name, dev_name(&pdev->dev), ret);
}

static void device_unbind(struct platform_device *pdev)
{
	struct platform_driver *drv = to_platform_driver(pdev->dev.driver);

	if (drv->remove)
		(void)drv->remove(pdev);
	ksim_devres_release_all(&pdev->dev);
	dev_set_drvdata(&pdev->dev, NULL);
	pdev->dev.driver = NULL;
}

int platform_driver_register(struct platform_driver *drv)
{
	struct platform_driver *other;
	struct platform_device *pdev;

	might_sleep();
	if (!drv->driver.name)
		return -EINVAL;
	list_for_each_entry(other, &drivers, bus_entry) {
		if (other == drv ||
		    !strcmp(other->driver.name, drv->driver.name)) {
			printk(KERN_ERR
			       "Driver '%s' is already registered, aborting...\n",
			       drv->driver.name);
			return -EBUSY;
		}
	}
	list_add_tail(&drv->bus_entry, &drivers);
	list_for_each_entry(pdev, &devices, bus_entry)
		if (!pdev->dev.driver && platform_match(pdev, drv))
			device_probe(pdev, drv);
	return 0;
}

void platform_driver_unregister(struct platform_driver *drv)
{
	struct platform_device *pdev;

	might_sleep();
	list_for_each_entry(pdev, &devices, bus_entry)
		if (pdev->dev.driver == &drv->driver)
			device_unbind(pdev);
	list_del_init(&drv->bus_entry);
}

int platform_device_register(struct platform_device *pdev)
{
	struct platform_device *other;
	struct platform_driver *drv;
	char *name;

	might_sleep();
	if (pdev->id == PLATFORM_DEVID_NONE)
		name = ksim_name_printf("%s", pdev->name);
	else
		name = ksim_name_printf("%s.%d", pdev->name, pdev->id);
	if (!name)
		return -ENOMEM;
	list_for_each_entry(other, &devices, bus_entry) {
		if (!strcmp(dev_name(&other->dev), name)) {
			free(name);
			return -EEXIST;
		}
	}

	pdev->dev.name = name;
	INIT_LIST_HEAD(&pdev->dev.devres_head);
	pdev->dev.driver = NULL;
	pdev->dev.driver_data = NULL;
	pdev->probe_result = 0;
	list_add_tail(&pdev->bus_entry, &devices);
	list_for_each_entry(drv, &drivers, bus_entry) {
		if (platform_match(pdev, drv)) {
			device_probe(pdev, drv);
			break;
		}
	}
	return 0;
}

void platform_device_unregister(struct platform_device *pdev)
{
	might_sleep();
	if (pdev->dev.driver)
		device_unbind(pdev);
	list_del_init(&pdev->bus_entry);
	free(pdev->dev.name);
	pdev->dev.name = NULL;
}

struct platform_device *ksim_device_add(const char *name, int id,
					const void *platform_data)
{
	size_t size = strlen(name) + 1;
	struct sim_device *sd = calloc(1, sizeof(*sd) + size);

	if (!sd)
		return NULL;
	memcpy(sd->name, name, size);
	sd->pdev.name = sd->name;
	sd->pdev.id = id;
	sd->pdev.dev.platform_data = (void *)platform_data;
	sd->pdev.sim_owned = true;
	if (platform_device_register(&sd->pdev)) {
		free(sd);
		return NULL;
	}
	return &sd->pdev;
}

void ksim_device_remove(struct platform_device *pdev)
{
	platform_device_unregister(pdev);
	free(container_of(pdev, struct sim_device, pdev));
}

const char *ksim_device_name(const struct platform_device *pdev)
{
	return dev_name(&pdev->dev);
}

bool ksim_device_bound(const struct platform_device *pdev)
{
	return pdev->dev.driver != NULL;
}

int ksim_device_probe_result(const struct platform_device *pdev)
{
	return pdev->probe_result;
}

size_t ksim_devres_count(const struct platform_device *pdev)
{
	return ksim_devres_count_of(&pdev->dev);
}

const char *ksim_driver_owner(const char *driver_name)
{
	struct platform_driver *drv;

	list_for_each_entry(drv, &drivers, bus_entry)
		if (!strcmp(drv->driver.name, driver_name))
			return drv->driver.owner ? drv->driver.owner->name
						 : NULL;
	return NULL;
}

void ksim_bus_reset(void)
{
	struct platform_device *pdev, *next_dev;
	struct platform_driver *drv, *next_drv;
	struct module *mod;

	list_for_each_entry(mod, &modules, list)
		if (mod->live)
			(void)ksim_module_unload(mod->name);
	list_for_each_entry_safe(pdev, next_dev, &devices, bus_entry) {
		if (pdev->sim_owned)
			ksim_device_remove(pdev);
		else
			platform_device_unregister(pdev);
	}
	list_for_each_entry_safe(drv, next_drv, &drivers, bus_entry)
		list_del_init(&drv->bus_entry);
}
