// SPDX-License-Identifier: GPL-2.0-or-later
/*
 * trellow: reports the debounced level of a GPIO line as the state of an
 * external connector.
 */

#include <asm/page.h>
#include <linux/extcon.h>
#include <linux/gpio.h>
#include <linux/init.h>
#include <linux/interrupt.h>
#include <linux/kernel.h>
#include <linux/module.h>
#include <linux/platform_device.h>
#include <linux/slab.h>
#include <linux/workqueue.h>

#include "trellow.h"

struct trellow_data {
	struct extcon_dev extcon;
	unsigned gpio;
	const char *on_text;
	const char *off_text;
	int irq;
	struct delayed_work work;
	unsigned long debounce_jiffies;
};

static void gpio_extcon_work(struct work_struct *work)
{
	int state;
	struct trellow_data *data =
		container_of(to_delayed_work(work), struct trellow_data, work);

	state = gpio_get_value(data->gpio);
	extcon_set_state(&data->extcon, state);
}

static irqreturn_t gpio_irq_handler(int irq, void *dev_id)
{
	struct trellow_data *data = dev_id;

	schedule_delayed_work(&data->work, data->debounce_jiffies);
	return IRQ_HANDLED;
}

static ssize_t trellow_print_state(struct extcon_dev *edev, char *buf)
{
	struct trellow_data *data =
		container_of(edev, struct trellow_data, extcon);
	const char *state;

	if (extcon_get_state(edev))
		state = data->on_text;
	else
		state = data->off_text;

	if (!state)
		return -EINVAL;
	/* The board's text may be longer than the page the class hands over. */
	return scnprintf(buf, PAGE_SIZE, "%s\n", state);
}

static int gpio_extcon_probe(struct platform_device *pdev)
{
	struct trellow_platform_data *pdata = pdev->dev.platform_data;
	struct trellow_data *data;
	int ret;

	if (!pdata)
		return -EBUSY;
	if (!pdata->irq_flags) {
		dev_err(&pdev->dev, "IRQ flag is not specified.\n");
		return -EINVAL;
	}

	data = devm_kzalloc(&pdev->dev, sizeof(*data), GFP_KERNEL);
	if (!data)
		return -ENOMEM;

	data->extcon.name = pdata->name;
	data->gpio = pdata->gpio;
	data->on_text = pdata->on_text;
	data->off_text = pdata->off_text;
	if (pdata->on_text && pdata->off_text)
		data->extcon.print_state = trellow_print_state;
	data->debounce_jiffies = msecs_to_jiffies(pdata->debounce_ms);

	ret = extcon_dev_register(&data->extcon, &pdev->dev);
	if (ret < 0)
		return ret;

	ret = devm_gpio_request_one(&pdev->dev, data->gpio, GPIOF_DIR_IN,
				    pdev->name);
	if (ret < 0)
		goto err_unregister;

	INIT_DELAYED_WORK(&data->work, gpio_extcon_work);

	data->irq = gpio_to_irq(data->gpio);
	if (data->irq < 0) {
		ret = data->irq;
		goto err_unregister;
	}

	ret = request_any_context_irq(data->irq, gpio_irq_handler,
				      pdata->irq_flags, pdev->name, data);
	if (ret < 0)
		goto err_unregister;

	dev_set_drvdata(&pdev->dev, data);

	/* Report the level at probe time without waiting for an edge. */
	gpio_extcon_work(&data->work.work);

	return 0;

err_unregister:
	extcon_dev_unregister(&data->extcon);
	return ret;
}

static int gpio_extcon_remove(struct platform_device *pdev)
{
	struct trellow_data *data = platform_get_drvdata(pdev);

	/* No handler may queue the work once it has been cancelled. */
	free_irq(data->irq, data);
	cancel_delayed_work_sync(&data->work);
	extcon_dev_unregister(&data->extcon);

	return 0;
}

static struct platform_driver gpio_extcon_driver = {
	.probe		= gpio_extcon_probe,
	.remove		= gpio_extcon_remove,
	.driver		= {
		.name	= "trellow",
		.owner	= THIS_MODULE,
	},
};

static int __init gpio_extcon_init(void)
{
	return platform_driver_register(&gpio_extcon_driver);
}
module_init(gpio_extcon_init);

static void __exit gpio_extcon_exit(void)
{
	platform_driver_unregister(&gpio_extcon_driver);
}
module_exit(gpio_extcon_exit);

MODULE_DESCRIPTION("GPIO connector reported through the extcon class");
MODULE_LICENSE("GPL");
MODULE_ALIAS("platform:trellow");
