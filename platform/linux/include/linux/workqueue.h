// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_WORKQUEUE_H
#define _LINUX_WORKQUEUE_H

#include <linux/kernel.h>
#include <linux/list.h>
#include <linux/timer.h>
#include <linux/types.h>

struct work_struct;
typedef void (*work_func_t)(struct work_struct *work);

#define WORK_STRUCT_PENDING 1UL

struct work_struct {
	unsigned long data;
	struct list_head entry;
	work_func_t func;
};

struct delayed_work {
	struct work_struct work;
	struct timer_list timer;
};

static inline struct delayed_work *to_delayed_work(struct work_struct *work)
{
	return container_of(work, struct delayed_work, work);
}

#define INIT_WORK(_work, _func)                  \
	do {                                     \
		(_work)->data = 0;               \
		INIT_LIST_HEAD(&(_work)->entry); \
		(_work)->func = (_func);         \
	} while (0)

#define INIT_DELAYED_WORK(_dwork, _func)                \
	do {                                            \
		INIT_WORK(&(_dwork)->work, (_func));    \
		INIT_LIST_HEAD(&(_dwork)->timer.entry); \
		(_dwork)->timer.expires = 0;            \
		(_dwork)->timer.function = NULL;        \
		(_dwork)->timer.data = 0;               \
	} while (0)

#define work_pending(work) ((work)->data & WORK_STRUCT_PENDING)
#define delayed_work_pending(w) work_pending(&(w)->work)

/* All of these use the one shared queue. */
bool schedule_work(struct work_struct *work);
bool schedule_delayed_work(struct delayed_work *dwork, unsigned long delay);
bool cancel_delayed_work(struct delayed_work *dwork);
bool cancel_work_sync(struct work_struct *work);
bool cancel_delayed_work_sync(struct delayed_work *dwork);
void flush_scheduled_work(void);

#endif
