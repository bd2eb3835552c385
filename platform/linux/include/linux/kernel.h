// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_KERNEL_H
#define _LINUX_KERNEL_H

#include <stdarg.h>
#include <linux/compiler.h>
#include <linux/types.h>

#define ARRAY_SIZE(arr) (sizeof(arr) / sizeof((arr)[0]))

#define container_of(ptr, type, member)                                \
	({                                                             \
		const __typeof__(((type *)0)->member) *__mptr = (ptr); \
		(type *)((char *)__mptr - offsetof(type, member));     \
	})

#define KERN_EMERG "<0>"
#define KERN_ALERT "<1>"
#define KERN_CRIT "<2>"
#define KERN_ERR "<3>"
#define KERN_WARNING "<4>"
#define KERN_NOTICE "<5>"
#define KERN_INFO "<6>"
#define KERN_DEBUG "<7>"

__printf(1, 2) int printk(const char *fmt, ...);

#define pr_err(fmt, ...) printk(KERN_ERR fmt, ##__VA_ARGS__)
#define pr_warn(fmt, ...) printk(KERN_WARNING fmt, ##__VA_ARGS__)
#define pr_info(fmt, ...) printk(KERN_INFO fmt, ##__VA_ARGS__)

/* The C library's formatting serves; these are its prototypes. */
int sprintf(char *buf, const char *fmt, ...);
int snprintf(char *buf, size_t size, const char *fmt, ...);
int vsnprintf(char *buf, size_t size, const char *fmt, va_list args);
/* Like snprintf, but returns what was written: at most size - 1. */
__printf(3, 4) int scnprintf(char *buf, size_t size, const char *fmt, ...);

/* Records a bug when called where sleeping is not allowed. */
void __might_sleep(const char *func);
#define might_sleep() __might_sleep(__func__)

#define WARN_ON(condition)                                         \
	({                                                         \
		int __ret_warn_on = !!(condition);                 \
		if (unlikely(__ret_warn_on))                       \
			__warn_on(__FILE__, __LINE__, #condition); \
		unlikely(__ret_warn_on);                           \
	})

void __warn_on(const char *file, int line, const char *what);

#endif
