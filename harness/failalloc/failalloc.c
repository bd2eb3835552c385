// SPDX-License-Identifier: GPL-2.0-or-later
#define _GNU_SOURCE
#include "failalloc.h"

#include <errno.h>
#include <stdatomic.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// The allocator underneath: a sanitizer runtime exports its own under these
// names, and the C library keeps its own under the __libc_ ones.
void *__interceptor_malloc(size_t size) __attribute__((weak));
void *__interceptor_calloc(size_t count, size_t size) __attribute__((weak));
void *__interceptor_realloc(void *p, size_t size) __attribute__((weak));
void __interceptor_free(void *p) __attribute__((weak));
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);

enum failalloc_mode { FAILALLOC_OFF, FAILALLOC_NTH, FAILALLOC_AFTER, FAILALLOC_ABOVE };

static _Atomic enum failalloc_mode mode;
static unsigned long limit;
static atomic_ulong allocations;

// The blocks handed out while armed, so that a test can see what a failure
// path left allocated: an open-addressed set of addresses, linear probing,
// deletion by shifting back.
#define FAILALLOC_SLOTS (1u << 16)
static uintptr_t live_blocks[FAILALLOC_SLOTS];
static unsigned long live;
static atomic_flag live_lock = ATOMIC_FLAG_INIT;

static size_t slot_of(uintptr_t p)
{
	return (size_t)((p >> 4) * 2654435761u) % FAILALLOC_SLOTS;
}

static void lock_live(void)
{
	while (atomic_flag_test_and_set_explicit(&live_lock, memory_order_acquire))
		;
}

static void unlock_live(void)
{
	atomic_flag_clear_explicit(&live_lock, memory_order_release);
}

static void live_add(void *p)
{
	uintptr_t key = (uintptr_t)p;
	size_t i;

	lock_live();
	if (live == FAILALLOC_SLOTS - 1) {
		static const char full[] = "failalloc: too many live blocks\n";
		(void)!write(2, full, sizeof(full) - 1);
		abort();
	}
	for (i = slot_of(key); live_blocks[i]; i = (i + 1) % FAILALLOC_SLOTS)
		;
	live_blocks[i] = key;
	live++;
	unlock_live();
}

// Tells whether the block was one of the live ones.
static bool live_remove(void *p)
{
	uintptr_t key = (uintptr_t)p;
	size_t i, j, home;
	bool found = false;

	lock_live();
	for (i = slot_of(key); live_blocks[i] && live_blocks[i] != key;
	     i = (i + 1) % FAILALLOC_SLOTS)
		;
	if (!live_blocks[i])
		goto out_unlock;
	// Moves later members of the run into the hole where their probe
	// would otherwise stop short of them.
	for (j = (i + 1) % FAILALLOC_SLOTS; live_blocks[j]; j = (j + 1) % FAILALLOC_SLOTS) {
		home = slot_of(live_blocks[j]);
		if ((j > i && (home <= i || home > j)) || (j < i && home <= i && home > j)) {
			live_blocks[i] = live_blocks[j];
			i = j;
		}
	}
	live_blocks[i] = 0;
	live--;
	found = true;
out_unlock:
	unlock_live();
	return found;
}

static void arm(enum failalloc_mode how, unsigned long n)
{
	atomic_store(&mode, FAILALLOC_OFF);
	limit = n;
	atomic_store(&allocations, 0);
	lock_live();
	memset(live_blocks, 0, sizeof(live_blocks));
	live = 0;
	unlock_live();
	atomic_store(&mode, how);
}

void failalloc_fail_nth(unsigned long n)
{
	arm(FAILALLOC_NTH, n);
}

void failalloc_fail_after(unsigned long n)
{
	arm(FAILALLOC_AFTER, n);
}

void failalloc_fail_above(size_t size)
{
	arm(FAILALLOC_ABOVE, size);
}

void failalloc_disarm(void)
{
	atomic_store(&mode, FAILALLOC_OFF);
}

unsigned long failalloc_count(void)
{
	return atomic_load(&allocations);
}

unsigned long failalloc_live(void)
{
	unsigned long n;

	lock_live();
	n = live;
	unlock_live();
	return n;
}

// Counts one allocation of size bytes and tells whether it is refused.
static bool refused(size_t size)
{
	enum failalloc_mode how = atomic_load(&mode);
	unsigned long nth;

	if (how == FAILALLOC_OFF)
		return false;
	nth = atomic_fetch_add(&allocations, 1) + 1;
	if ((how == FAILALLOC_NTH && nth == limit) || (how == FAILALLOC_AFTER && nth > limit) ||
	    (how == FAILALLOC_ABOVE && size > limit)) {
		errno = ENOMEM;
		return true;
	}
	return false;
}

static void *handed_out(void *p, bool was_live)
{
	if (p && (was_live || atomic_load(&mode) != FAILALLOC_OFF))
		live_add(p);
	return p;
}

void *malloc(size_t size)
{
	if (refused(size))
		return NULL;
	return handed_out(__interceptor_malloc ? __interceptor_malloc(size) : __libc_malloc(size),
			  false);
}

void *calloc(size_t count, size_t size)
{
	if (refused(size && count > SIZE_MAX / size ? SIZE_MAX : count * size))
		return NULL;
	return handed_out(__interceptor_calloc ? __interceptor_calloc(count, size)
					       : __libc_calloc(count, size),
			  false);
}

void *realloc(void *p, size_t size)
{
	void *q;

	// Shrinking to nothing frees the block: nothing to refuse.
	if (p && !size) {
		free(p);
		return NULL;
	}
	if (refused(size))
		return NULL;
	q = __interceptor_realloc ? __interceptor_realloc(p, size) : __libc_realloc(p, size);
	return handed_out(q, q && p && live_remove(p));
}

void free(void *p)
{
	if (!p)
		return;
	(void)live_remove(p);
	if (__interceptor_free)
		__interceptor_free(p);
	else
		__libc_free(p);
}

// The sanitizer's own strdup and strndup would not come through malloc.
char *strdup(const char *s)
{
	size_t size = strlen(s) + 1;
	char *copy = malloc(size);

	return copy ? memcpy(copy, s, size) : NULL;
}

char *strndup(const char *s, size_t n)
{
	size_t length = strnlen(s, n);
	char *copy = malloc(length + 1);

	if (!copy)
		return NULL;
	memcpy(copy, s, length);
	copy[length] = '\0';
	return copy;
}

static unsigned long env_number(const char *name, bool *set)
{
	const char *value = getenv(name);

	*set = value != NULL;
	return value ? strtoul(value, NULL, 10) : 0;
}

__attribute__((constructor)) static void failalloc_from_environment(void)
{
	static const struct {
		const char *name;
		enum failalloc_mode how;
	} variables[] = {
		{ "FAILALLOC_NTH", FAILALLOC_NTH },
		{ "FAILALLOC_AFTER", FAILALLOC_AFTER },
		{ "FAILALLOC_ABOVE", FAILALLOC_ABOVE },
	};
	unsigned long n;
	bool set;

	for (size_t i = 0; i < sizeof(variables) / sizeof(variables[0]); i++) {
		n = env_number(variables[i].name, &set);
		if (set)
			arm(variables[i].how, n);
	}
}
