// SPDX-License-Identifier: GPL-2.0-or-later
/* The tick clock and the shared work queue that it drives. */
#include <linux/jiffies.h>
#include <linux/kernel.h>
#include <linux/list.h>
#include <linux/workqueue.h>

#include "ksim_internal.h"

#define MSEC_PER_SEC 1000
#define WORK_STRUCT_DELAYED 2UL
/* More runs than this in one go means work requeues itself forever. */
#define MAX_RUNS 100000

volatile unsigned long jiffies = INITIAL_JIFFIES;

/* Pending items in the order they were queued. */
static LIST_HEAD(queue);
static struct work_struct *running;

unsigned long msecs_to_jiffies(const unsigned int m)
{
	if ((int)m < 0)
		return MAX_JIFFY_OFFSET;
	return (m + (MSEC_PER_SEC / HZ) - 1) / (MSEC_PER_SEC / HZ);
}

unsigned int jiffies_to_msecs(const unsigned long j)
{
	return (MSEC_PER_SEC / HZ) * j;
}

static bool is_due(struct work_struct *work)
{
	if (!(work->data & WORK_STRUCT_DELAYED))
		return true;
	return time_after_eq(jiffies, to_delayed_work(work)->timer.expires);
}

static bool enqueue(struct work_struct *work, unsigned long flags)
{
	if (!work->func) {
		ksim_bug("queueing work that was never initialised");
		return false;
	}
	if (work->data & WORK_STRUCT_PENDING)
		return false;
	work->data = WORK_STRUCT_PENDING | flags;
	list_add_tail(&work->entry, &queue);
	return true;
}

bool schedule_work(struct work_struct *work)
{
	return enqueue(work, 0);
}

bool schedule_delayed_work(struct delayed_work *dwork, unsigned long delay)
{
	if (dwork->work.data & WORK_STRUCT_PENDING)
		return false;
	dwork->timer.expires = jiffies + delay;
	return enqueue(&dwork->work, WORK_STRUCT_DELAYED);
}

static bool dequeue(struct work_struct *work)
{
	if (!(work->data & WORK_STRUCT_PENDING))
		return false;
	list_del_init(&work->entry);
	work->data = 0;
	return true;
}

/* Does not wait for a running instance, so it may be used anywhere. */
bool cancel_delayed_work(struct delayed_work *dwork)
{
	return dequeue(&dwork->work);
}

bool cancel_work_sync(struct work_struct *work)
{
	ksim_pass(KSIM_AT_CANCEL_WORK);
	might_sleep();
	/* Waiting for oneself would never end. */
	if (work == running)
		ksim_bug("work cancels itself synchronously");
	return dequeue(work);
}

bool cancel_delayed_work_sync(struct delayed_work *dwork)
{
	return cancel_work_sync(&dwork->work);
}

/*
 * The clock moves one tick at a time and due work runs at every tick, so
 * whatever is due became due now: queue order is the order of running.
 */
static struct work_struct *next_due(void)
{
	struct work_struct *work;

	list_for_each_entry(work, &queue, entry)
		if (is_due(work))
			return work;
	return NULL;
}

void ksim_run_work(void)
{
	struct work_struct *work;
	unsigned long runs = 0;

	while ((work = next_due())) {
		if (++runs > MAX_RUNS) {
			ksim_bug("work keeps requeueing itself");
			return;
		}
		list_del_init(&work->entry);
		/* Cleared first, so the work may be queued again meanwhile. */
		work->data = 0;
		running = work;
		work->func(work);
		running = NULL;
	}
}

void flush_scheduled_work(void)
{
	might_sleep();
	ksim_run_work();
}

void ksim_advance(unsigned long ticks)
{
	ksim_run_work();
	while (ticks--) {
		jiffies++;
		ksim_run_work();
	}
}

unsigned long ksim_jiffies(void)
{
	return jiffies;
}

size_t ksim_work_pending(void)
{
	struct work_struct *work;
	size_t n = 0;

	list_for_each_entry(work, &queue, entry)
		n++;
	return n;
}

void ksim_work_check_free(const char *p, size_t size)
{
	struct work_struct *work, *next;

	if (running && (const char *)running >= p &&
	    (const char *)running < p + size)
		ksim_bug("memory freed while its work runs");
	list_for_each_entry_safe(work, next, &queue, entry) {
		if ((const char *)work >= p && (const char *)work < p + size) {
			ksim_bug("memory freed while its work is pending");
			list_del_init(&work->entry);
		}
	}
}

void ksim_work_reset(void)
{
	struct work_struct *work, *next;

	list_for_each_entry_safe(work, next, &queue, entry) {
		list_del_init(&work->entry);
		work->data = 0;
	}
	running = NULL;
	jiffies = INITIAL_JIFFIES;
}
