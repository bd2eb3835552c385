// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_IRQRETURN_H
#define _LINUX_IRQRETURN_H

enum irqreturn {
	IRQ_NONE = (0 << 0),
	IRQ_HANDLED = (1 << 0),
	IRQ_WAKE_THREAD = (1 << 1),
};

typedef enum irqreturn irqreturn_t;

#endif
