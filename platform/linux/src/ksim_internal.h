// SPDX-License-Identifier: GPL-2.0-or-later
/* What the parts of the layer share among themselves. */
#ifndef KSIM_INTERNAL_H
#define KSIM_INTERNAL_H

#include <linux/device.h>
#include <linux/kernel.h>
#include <linux/types.h>

#include "ksim.h"

__printf(1, 2) void ksim_bug(const char *fmt, ...);
/* The error armed for this service, once; 0 when none is armed. */
int ksim_take_fault(enum ksim_fault fault);
void ksim_pass(enum ksim_point point);
void ksim_log_add(int level, const char *device, const char *text);
/*
 * A device name of any length, in the layer's own memory (kernel memory is
 * what tests count as held); free() it. NULL when memory runs out.
 */
__printf(1, 2) char *ksim_name_printf(const char *fmt, ...);

/* Hard-interrupt nesting of the one simulated CPU. */
void ksim_irq_enter(void);
void ksim_irq_exit(void);

/* Memory [p, p + size) is about to be freed: nothing may still use it. */
void ksim_check_free(const void *p, size_t size);
void ksim_work_check_free(const char *p, size_t size);
void ksim_irq_check_free(const char *p, size_t size);
void ksim_extcon_check_free(const char *p, size_t size);

/* Releases a device's managed resources, newest first. */
void ksim_devres_release_all(struct device *dev);
size_t ksim_devres_count_of(const struct device *dev);

void ksim_bus_reset(void);
void ksim_gpio_reset(void);
void ksim_work_reset(void);
void ksim_extcon_reset(void);
void ksim_mem_reset(void);

#endif
