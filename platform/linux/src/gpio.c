// SPDX-License-Identifier: GPL-2.0-or-later
/* GPIO lines and their interrupts. */
#include <string.h>

#include <linux/errno.h>
#include <linux/gpio.h>
#include <linux/interrupt.h>

#include "ksim_internal.h"

struct gpio_line {
	int value;
	bool requested;
	bool input;
	const char *label;
	int no_irq_err;
	unsigned long reads;
};

struct irq_desc {
	irq_handler_t handler;
	void *dev_id;
	unsigned long flags;
	const char *name;
	bool nested;
	bool in_handler;
	unsigned long raised;
	unsigned long handled;
};

static struct gpio_line lines[KSIM_NR_GPIOS];
static struct irq_desc irqs[KSIM_NR_IRQS];

static struct gpio_line *line_of(unsigned gpio)
{
	return gpio_is_valid(gpio) ? &lines[gpio] : NULL;
}

int gpio_request_one(unsigned gpio, unsigned long flags, const char *label)
{
	struct gpio_line *line = line_of(gpio);
	int err = ksim_take_fault(KSIM_FAULT_GPIO_REQUEST);

	if (err)
		return err;
	if (!line)
		return -EINVAL;
	if (line->requested)
		return -EBUSY;
	line->requested = true;
	line->label = label ? label : "?";
	line->input = flags & GPIOF_DIR_IN;
	if (!line->input)
		line->value = !!(flags & GPIOF_INIT_HIGH);
	return 0;
}

void gpio_free(unsigned gpio)
{
	struct gpio_line *line = line_of(gpio);

	if (!line || !line->requested) {
		ksim_bug("gpio_free of line %u, which is not requested", gpio);
		return;
	}
	line->requested = false;
	line->label = NULL;
}

int gpio_get_value(unsigned gpio)
{
	struct gpio_line *line = line_of(gpio);

	if (!line) {
		ksim_bug("gpio_get_value of invalid line %u", gpio);
		return 0;
	}
	line->reads++;
	return line->value;
}

static void irq_raise(int irq, bool rising)
{
	struct irq_desc *desc = &irqs[irq];
	unsigned long trigger;
	irqreturn_t ret;

	if (!desc->handler)
		return;
	trigger = desc->flags & IRQF_TRIGGER_MASK;
	/* A request without trigger flags keeps the line's default: both. */
	if (!trigger)
		trigger = IRQF_TRIGGER_RISING | IRQF_TRIGGER_FALLING;
	if (rising && !(trigger & (IRQF_TRIGGER_RISING | IRQF_TRIGGER_HIGH)))
		return;
	if (!rising && !(trigger & (IRQF_TRIGGER_FALLING | IRQF_TRIGGER_LOW)))
		return;
	/* A masked line latches nothing further while its handler runs. */
	if (desc->in_handler)
		return;

	desc->raised++;
	desc->in_handler = true;
	if (!desc->nested)
		ksim_irq_enter();
	ret = desc->handler(irq, desc->dev_id);
	if (!desc->nested)
		ksim_irq_exit();
	desc->in_handler = false;
	if (ret & IRQ_HANDLED)
		desc->handled++;
	if (ret & IRQ_WAKE_THREAD)
		ksim_bug("irq %d: handler wakes a thread it does not have",
			 irq);
}

static void line_set(unsigned gpio, int value)
{
	struct gpio_line *line = &lines[gpio];
	bool edge = !line->value != !value;

	line->value = value;
	if (edge)
		irq_raise(KSIM_GPIO_IRQ_BASE + gpio, value != 0);
}

void gpio_set_value(unsigned gpio, int value)
{
	struct gpio_line *line = line_of(gpio);

	if (!line || !line->requested || line->input) {
		ksim_bug("gpio_set_value of line %u, not a requested output",
			 gpio);
		return;
	}
	line_set(gpio, !!value);
}

int gpio_to_irq(unsigned gpio)
{
	struct gpio_line *line = line_of(gpio);
	int err = ksim_take_fault(KSIM_FAULT_GPIO_TO_IRQ);

	if (err)
		return err;
	if (!line)
		return -EINVAL;
	if (line->no_irq_err)
		return line->no_irq_err;
	return KSIM_GPIO_IRQ_BASE + gpio;
}

static int install_handler(unsigned int irq, irq_handler_t handler,
			   unsigned long flags, const char *name, void *dev_id)
{
	struct irq_desc *desc;
	int err;

	might_sleep();
	err = ksim_take_fault(KSIM_FAULT_REQUEST_IRQ);
	if (err)
		return err;
	if (irq >= KSIM_NR_IRQS || !handler)
		return -EINVAL;
	desc = &irqs[irq];
	/* One handler a line: nothing here shares interrupts. */
	if (desc->handler)
		return -EBUSY;
	desc->handler = handler;
	desc->dev_id = dev_id;
	desc->flags = flags;
	desc->name = name;
	return 0;
}

int request_irq(unsigned int irq, irq_handler_t handler, unsigned long flags,
		const char *name, void *dev_id)
{
	/* A nested line has no hard-interrupt context to run a handler in. */
	if (irq < KSIM_NR_IRQS && irqs[irq].nested)
		return -EINVAL;
	return install_handler(irq, handler, flags, name, dev_id);
}

int request_any_context_irq(unsigned int irq, irq_handler_t handler,
			    unsigned long flags, const char *name, void *dev_id)
{
	int ret = install_handler(irq, handler, flags, name, dev_id);

	if (ret)
		return ret;
	return irqs[irq].nested ? IRQC_IS_NESTED : IRQC_IS_HARDIRQ;
}

void free_irq(unsigned int irq, void *dev_id)
{
	struct irq_desc *desc;

	ksim_pass(KSIM_AT_FREE_IRQ);
	might_sleep();
	if (irq >= KSIM_NR_IRQS || !irqs[irq].handler ||
	    irqs[irq].dev_id != dev_id) {
		ksim_bug("Trying to free already-free IRQ %u", irq);
		return;
	}
	desc = &irqs[irq];
	/* Waiting for the running handler to finish would never end. */
	if (desc->in_handler)
		ksim_bug("free_irq(%u) from its own handler", irq);
	desc->handler = NULL;
	desc->dev_id = NULL;
	desc->flags = 0;
	desc->name = NULL;
	ksim_pass(KSIM_AFTER_FREE_IRQ);
}

void ksim_irq_check_free(const char *p, size_t size)
{
	unsigned i;

	for (i = 0; i < KSIM_NR_IRQS; i++) {
		const char *id = irqs[i].dev_id;

		if (irqs[i].handler && id >= p && id < p + size) {
			ksim_bug("memory freed while irq %u still uses it", i);
			irqs[i].handler = NULL;
			irqs[i].dev_id = NULL;
		}
	}
}

static irqreturn_t foreign_handler(int irq, void *dev_id)
{
	(void)irq;
	(void)dev_id;
	return IRQ_NONE;
}

static char foreign_owner;

int ksim_irq_occupy(int irq)
{
	if (irq < 0)
		return -EINVAL;
	return request_irq(irq, foreign_handler, IRQF_TRIGGER_RISING, "ksim",
			   &foreign_owner);
}

void ksim_irq_release(int irq)
{
	free_irq(irq, &foreign_owner);
}

void ksim_gpio_set(unsigned gpio, int value)
{
	if (!line_of(gpio)) {
		ksim_bug("ksim_gpio_set of invalid line %u", gpio);
		return;
	}
	line_set(gpio, value);
}

void ksim_gpio_set_no_irq(unsigned gpio, int err)
{
	if (line_of(gpio))
		lines[gpio].no_irq_err = err;
}

unsigned long ksim_gpio_reads(unsigned gpio)
{
	return line_of(gpio) ? lines[gpio].reads : 0;
}

const char *ksim_gpio_label(unsigned gpio)
{
	return line_of(gpio) ? lines[gpio].label : NULL;
}

bool ksim_gpio_is_input(unsigned gpio)
{
	return line_of(gpio) && lines[gpio].input;
}

size_t ksim_gpio_held(void)
{
	size_t n = 0;
	unsigned i;

	for (i = 0; i < KSIM_NR_GPIOS; i++)
		n += lines[i].requested;
	return n;
}

void ksim_irq_set_nested(int irq, bool nested)
{
	if (irq >= 0 && irq < KSIM_NR_IRQS)
		irqs[irq].nested = nested;
}

unsigned long ksim_irq_raised(int irq)
{
	return irq >= 0 && irq < KSIM_NR_IRQS ? irqs[irq].raised : 0;
}

unsigned long ksim_irq_handled(int irq)
{
	return irq >= 0 && irq < KSIM_NR_IRQS ? irqs[irq].handled : 0;
}

unsigned long ksim_irq_flags(int irq)
{
	return irq >= 0 && irq < KSIM_NR_IRQS ? irqs[irq].flags : 0;
}

const char *ksim_irq_name(int irq)
{
	return irq >= 0 && irq < KSIM_NR_IRQS ? irqs[irq].name : NULL;
}

size_t ksim_irq_actions(void)
{
	size_t n = 0;
	unsigned i;

	for (i = 0; i < KSIM_NR_IRQS; i++)
		n += irqs[i].handler != NULL;
	return n;
}

void ksim_gpio_reset(void)
{
	memset(lines, 0, sizeof(lines));
	memset(irqs, 0, sizeof(irqs));
}
