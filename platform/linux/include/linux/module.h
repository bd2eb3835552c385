// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_MODULE_H
#define _LINUX_MODULE_H

#include <linux/init.h>
#include <linux/kernel.h>
#include <linux/list.h>

struct module {
	const char *name;
	initcall_t init;
	exitcall_t exit;
	/* loader's own */
	struct list_head list;
	bool live;
};

extern struct module __this_module;
#define THIS_MODULE (&__this_module)

/* Makes a module known to the loader, which then runs init on load. */
void __module_add(struct module *mod);

/*
 * There is no modpost here: module_init() itself emits the module record
 * that THIS_MODULE names, and announces it to the loader at start-up.
 */
#define module_init(initfn)                                              \
	struct module __this_module = {                                  \
		.name = KBUILD_MODNAME,                                  \
		.init = initfn,                                          \
	};                                                               \
	static void __attribute__((constructor)) __module_announce(void) \
	{                                                                \
		__module_add(&__this_module);                            \
	}

#define module_exit(exitfn)                                              \
	static void __attribute__((constructor)) __module_set_exit(void) \
	{                                                                \
		__this_module.exit = exitfn;                             \
	}

#define __MODULE_INFO(tag, line, info)               \
	static const char __modinfo_##tag##_##line[] \
		__attribute__((used, section(".modinfo"))) = #tag "=" info
#define __MODULE_INFO_L(tag, line, info) __MODULE_INFO(tag, line, info)

#define MODULE_LICENSE(l) __MODULE_INFO_L(license, __LINE__, l)
#define MODULE_AUTHOR(a) __MODULE_INFO_L(author, __LINE__, a)
#define MODULE_DESCRIPTION(d) __MODULE_INFO_L(description, __LINE__, d)
#define MODULE_ALIAS(a) __MODULE_INFO_L(alias, __LINE__, a)

#endif
