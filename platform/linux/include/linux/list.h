// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_LIST_H
#define _LINUX_LIST_H

#include <linux/kernel.h>
#include <linux/types.h>

#define LIST_HEAD_INIT(name)     \
	{                        \
		&(name), &(name) \
	}
#define LIST_HEAD(name) struct list_head name = LIST_HEAD_INIT(name)

static inline void INIT_LIST_HEAD(struct list_head *list)
{
	list->next = list;
	list->prev = list;
}

static inline void __list_add(struct list_head *entry, struct list_head *prev,
			      struct list_head *next)
{
	next->prev = entry;
	entry->next = next;
	entry->prev = prev;
	prev->next = entry;
}

static inline void list_add(struct list_head *entry, struct list_head *head)
{
	__list_add(entry, head, head->next);
}

static inline void list_add_tail(struct list_head *entry,
				 struct list_head *head)
{
	__list_add(entry, head->prev, head);
}

/* Leaves the entry pointing at itself, so list_empty() on it is true. */
static inline void list_del_init(struct list_head *entry)
{
	entry->next->prev = entry->prev;
	entry->prev->next = entry->next;
	INIT_LIST_HEAD(entry);
}

static inline int list_empty(const struct list_head *head)
{
	return head->next == head;
}

#define list_entry(ptr, type, member) container_of(ptr, type, member)

/*
 * A hidden cursor walks the links, so the head is never taken for an
 * entry: it need not sit where an entry's member would.
 */
#define list_for_each_entry(pos, head, member)                         \
	for (struct list_head *__cur = (head)->next;                   \
	     __cur != (head) &&                                        \
	     ((pos = list_entry(__cur, __typeof__(*pos), member)), 1); \
	     __cur = __cur->next)

/* The entry may be deleted inside the loop; n is the one after it. */
#define list_for_each_entry_safe(pos, n, head, member)                     \
	for (struct list_head *__cur = (head)->next, *__nxt = __cur->next; \
	     __cur != (head) &&                                            \
	     ((pos = list_entry(__cur, __typeof__(*pos), member)),         \
	      (n = list_entry(__nxt, __typeof__(*n), member)), 1);         \
	     __cur = __nxt, __nxt = __cur->next)

#endif
