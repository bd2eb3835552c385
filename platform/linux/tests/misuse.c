// SPDX-License-Identifier: GPL-2.0-or-later
/*
 * Small pieces of driver code that misuse the kernel's services, each in one
 * way the layer must notice, and a few that use them correctly.
 */
#include <linux/err.h>
#include <linux/extcon.h>
#include <linux/interrupt.h>
#include <linux/kernel.h>
#include <linux/slab.h>
#include <linux/workqueue.h>

#include <string.h>

#include "misuse.h"

struct item {
	struct delayed_work work;
	int runs;
};

static void item_work(struct work_struct *work)
{
	struct item *it =
		container_of(to_delayed_work(work), struct item, work);

	it->runs++;
}

static irqreturn_t allocating_handler(int irq, void *dev_id)
{
	kfree(kmalloc(16, GFP_KERNEL));
	return IRQ_HANDLED;
}

static char owner;

void misuse_sleep_in_interrupt(void)
{
	if (request_irq(KSIM_GPIO_IRQ_BASE + 10, allocating_handler,
			IRQF_TRIGGER_RISING, "misuse", &owner))
		return;
	ksim_gpio_set(10, 1);
	free_irq(KSIM_GPIO_IRQ_BASE + 10, &owner);
}

void misuse_free_pending_work(void)
{
	struct item *it = kzalloc(sizeof(*it), GFP_KERNEL);

	if (!it)
		return;
	INIT_DELAYED_WORK(&it->work, item_work);
	schedule_delayed_work(&it->work, 5);
	kfree(it);
	ksim_advance(10);
}

void misuse_free_unrequested_irq(void)
{
	free_irq(KSIM_GPIO_IRQ_BASE + 11, &owner);
}

void misuse_free_registered_extcon(void)
{
	struct extcon_dev *edev = kzalloc(sizeof(*edev), GFP_KERNEL);

	if (!edev)
		return;
	edev->name = "misuse";
	if (extcon_dev_register(edev, NULL) == 0)
		kfree(edev);
}

void misuse_set_unregistered_state(void)
{
	struct extcon_dev edev = { .name = "misuse" };

	extcon_set_state(&edev, 1);
}

void misuse_queue_uninitialised_work(void)
{
	struct delayed_work work;

	memset(&work, 0, sizeof(work));
	schedule_delayed_work(&work, 1);
}

int use_requeue_keeps_first_expiry(void)
{
	struct item it = { .runs = 0 };
	int ok;

	INIT_DELAYED_WORK(&it.work, item_work);
	ok = schedule_delayed_work(&it.work, 3);
	ok = ok && !schedule_delayed_work(&it.work, 1);
	ksim_advance(2);
	ok = ok && it.runs == 0;
	ksim_advance(1);
	ok = ok && it.runs == 1;
	ok = ok && !cancel_delayed_work_sync(&it.work);
	return ok;
}

static ssize_t failing_print_state(struct extcon_dev *edev, char *buf)
{
	return -EINVAL;
}

int use_failing_print_state(char *buf, size_t size)
{
	static struct extcon_dev edev = {
		.name = "fallback",
		.print_state = failing_print_state,
	};
	ssize_t n;

	if (extcon_dev_register(&edev, NULL))
		return -1;
	extcon_set_state(&edev, 7);
	n = ksim_extcon_read_state("fallback", buf, size);
	extcon_dev_unregister(&edev);
	return n;
}
