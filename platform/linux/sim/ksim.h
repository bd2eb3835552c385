// SPDX-License-Identifier: GPL-2.0-or-later
/*
 * Control of the simulated machine that the kernel-interface layer runs:
 * board devices, line levels, the tick clock, the extcon attributes as user
 * space reads them, failure injection, and what the kernel would have logged
 * or warned about. Host code (tests, the simulator) includes only this
 * header, never the layer's kernel headers.
 *
 * Everything runs in the calling thread. Setting a line's level delivers
 * its interrupt at once, as a hard interrupt; delayed work runs when the
 * clock is advanced (or ksim_run_work() is called) and its time has come.
 */
#ifndef KSIM_H
#define KSIM_H

#include <stdbool.h>
#include <stddef.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

struct platform_device;

/* Ticks per second of the virtual clock. */
#define KSIM_HZ 100

/* Unloads every module, removes every device and clears all records. */
void ksim_reset(void);

/* Modules announced by the objects linked in, by name. 0 or -errno. */
int ksim_module_load(const char *name);
int ksim_module_unload(const char *name);
bool ksim_module_loaded(const char *name);
/* Driver name and owner module of a registered platform driver, or NULL. */
const char *ksim_driver_owner(const char *driver_name);

/*
 * Board code: registers a platform device (id -1 for none) with the given
 * platform data, which is not copied. It is bound at once when a driver of
 * that name is registered. NULL when the name is taken.
 */
struct platform_device *ksim_device_add(const char *name, int id,
					const void *platform_data);
/* Unbinds, unregisters and frees the device. */
void ksim_device_remove(struct platform_device *pdev);
const char *ksim_device_name(const struct platform_device *pdev);
bool ksim_device_bound(const struct platform_device *pdev);
/* Result of the last probe of the device (0 before any). */
int ksim_device_probe_result(const struct platform_device *pdev);
/* Managed resources the device holds now. */
size_t ksim_devres_count(const struct platform_device *pdev);

/* Totals still held across the machine. */
size_t ksim_mem_held(void);	     /* managed and kmalloc blocks */
size_t ksim_gpio_held(void);	     /* requested lines */
size_t ksim_irq_actions(void);	     /* installed handlers */
size_t ksim_extcon_registered(void); /* registered connectors */
size_t ksim_work_pending(void);	     /* queued or timed work items */

/* Lines 0..63; line n raises interrupt KSIM_GPIO_IRQ_BASE + n. */
#define KSIM_NR_GPIOS 64
#define KSIM_GPIO_IRQ_BASE 64
#define KSIM_NR_IRQS 128
/* Sets the value the controller reports; a zero/non-zero change is an edge. */
void ksim_gpio_set(unsigned gpio, int value);
/* Makes gpio_to_irq() of the line fail with err (0 restores it). */
void ksim_gpio_set_no_irq(unsigned gpio, int err);
unsigned long ksim_gpio_reads(unsigned gpio);
/* Label and direction of a requested line; NULL label when free. */
const char *ksim_gpio_label(unsigned gpio);
bool ksim_gpio_is_input(unsigned gpio);

/* Handlers requested on this interrupt run as nested (threaded) ones. */
void ksim_irq_set_nested(int irq, bool nested);
/* Interrupts raised, and of those how many a handler claimed. */
unsigned long ksim_irq_raised(int irq);
unsigned long ksim_irq_handled(int irq);
/* Flags and name of the handler installed on irq; 0 / NULL when none. */
unsigned long ksim_irq_flags(int irq);
const char *ksim_irq_name(int irq);
/* Takes irq for a foreign, non-shared handler, or frees it again. */
int ksim_irq_occupy(int irq);
void ksim_irq_release(int irq);

/* The clock, in ticks. Advancing runs each work item when it falls due. */
unsigned long ksim_jiffies(void);
void ksim_advance(unsigned long ticks);
/* Runs the work that is due now, without advancing the clock. */
void ksim_run_work(void);

/*
 * The extcon attributes as a read of /sys/class/extcon/NAME/... returns
 * them: length copied (NUL-terminated, cut to size) or -ENODEV when no
 * connector of that name is registered. An attribute is rendered into a
 * page of KSIM_PAGE_SIZE bytes, so it is never longer than that less one.
 */
#define KSIM_PAGE_SIZE 4096
ssize_t ksim_extcon_read_state(const char *name, char *buf, size_t size);
ssize_t ksim_extcon_read_name(const char *name, char *buf, size_t size);
/* State changes (uevents) the connector has sent since registering. */
unsigned long ksim_extcon_changes(const char *name);

/* Failures of the kernel's services, each armed for the next call. */
enum ksim_fault {
	KSIM_FAULT_KMALLOC,	    /* devm_kzalloc, kmalloc: NULL */
	KSIM_FAULT_EXTCON_REGISTER, /* extcon_dev_register: err */
	KSIM_FAULT_GPIO_REQUEST,    /* gpio requests: err */
	KSIM_FAULT_GPIO_TO_IRQ,	    /* gpio_to_irq: err */
	KSIM_FAULT_REQUEST_IRQ,	    /* request_*irq: err */
	KSIM_NR_FAULTS
};
void ksim_fail_next(enum ksim_fault fault, int err);

/* Places inside the kernel's services where a test may act. */
enum ksim_point {
	KSIM_AT_FREE_IRQ,	      /* entering free_irq */
	KSIM_AFTER_FREE_IRQ,	      /* free_irq about to return */
	KSIM_AT_CANCEL_WORK,	      /* entering cancel_*work_sync */
	KSIM_AT_EXTCON_UNREGISTER,    /* entering extcon_dev_unregister */
	KSIM_AFTER_EXTCON_UNREGISTER, /* extcon_dev_unregister leaving */
	KSIM_NR_POINTS
};
/* fn(arg) runs each time the point is passed; NULL removes it. */
void ksim_set_hook(enum ksim_point point, void (*fn)(void *), void *arg);

/* The kernel log: one record per printk or dev_printk. */
struct ksim_log_record {
	int level;	    /* 0..7, 4 when none was given */
	const char *device; /* device name, or NULL for printk */
	const char *text;   /* formatted message without level mark */
};
size_t ksim_log_count(void);
const struct ksim_log_record *ksim_log_entry(size_t i);

/*
 * What the kernel would have warned about or crashed on: sleeping in an
 * interrupt, freeing an unrequested interrupt, freeing memory that pending
 * work or a registered connector still lives in, and so on.
 */
size_t ksim_bug_count(void);
const char *ksim_bug_text(size_t i);

#ifdef __cplusplus
}
#endif

#endif
