// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_INTERRUPT_H
#define _LINUX_INTERRUPT_H

#include <linux/irqreturn.h>
#include <linux/kernel.h>
#include <linux/types.h>

#define IRQF_TRIGGER_NONE 0x00000000
#define IRQF_TRIGGER_RISING 0x00000001
#define IRQF_TRIGGER_FALLING 0x00000002
#define IRQF_TRIGGER_HIGH 0x00000004
#define IRQF_TRIGGER_LOW 0x00000008
#define IRQF_TRIGGER_MASK                                             \
	(IRQF_TRIGGER_HIGH | IRQF_TRIGGER_LOW | IRQF_TRIGGER_RISING | \
	 IRQF_TRIGGER_FALLING)

#define IRQF_DISABLED 0x00000020
#define IRQF_SHARED 0x00000080
#define IRQF_ONESHOT 0x00002000

/* Where request_any_context_irq() put the handler. */
enum {
	IRQC_IS_HARDIRQ = 0,
	IRQC_IS_NESTED,
};

typedef irqreturn_t (*irq_handler_t)(int irq, void *dev_id);

int request_irq(unsigned int irq, irq_handler_t handler, unsigned long flags,
		const char *name, void *dev_id);
int request_any_context_irq(unsigned int irq, irq_handler_t handler,
			    unsigned long flags, const char *name,
			    void *dev_id);
void free_irq(unsigned int irq, void *dev_id);

/* True while a handler runs in hard-interrupt context. */
bool in_interrupt(void);

#endif
