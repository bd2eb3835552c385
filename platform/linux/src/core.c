// SPDX-License-Identifier: GPL-2.0-or-later
/* The log, the bug records, failure injection, hooks and the CPU context. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ksim_internal.h"

struct record_list {
	struct ksim_log_record *records;
	size_t count;
	size_t capacity;
};

static struct record_list log_records;
static char **bugs;
static size_t bug_count;
static size_t bug_capacity;

static int fault_err[KSIM_NR_FAULTS];
static struct {
	void (*fn)(void *);
	void *arg;
} hooks[KSIM_NR_POINTS];

static int hardirq_depth;

static char *dup_or_die(const char *s)
{
	char *copy = strdup(s);

	if (!copy) {
		perror("ksim");
		abort();
	}
	return copy;
}

static void *grow_or_die(void *p, size_t *capacity, size_t item)
{
	size_t n = *capacity ? 2 * *capacity : 16;

	p = realloc(p, n * item);
	if (!p) {
		perror("ksim");
		abort();
	}
	*capacity = n;
	return p;
}

void ksim_log_add(int level, const char *device, const char *text)
{
	struct ksim_log_record *r;

	if (log_records.count == log_records.capacity)
		log_records.records = grow_or_die(
			log_records.records, &log_records.capacity, sizeof(*r));
	r = &log_records.records[log_records.count++];
	r->level = level;
	r->device = device ? dup_or_die(device) : NULL;
	r->text = dup_or_die(text);
}

size_t ksim_log_count(void)
{
	return log_records.count;
}

const struct ksim_log_record *ksim_log_entry(size_t i)
{
	return i < log_records.count ? &log_records.records[i] : NULL;
}

/* Splits a "<N>" level mark off a formatted message. */
static const char *split_level(const char *text, int *level)
{
	if (text[0] == '<' && text[1] >= '0' && text[1] <= '7' &&
	    text[2] == '>') {
		*level = text[1] - '0';
		return text + 3;
	}
	*level = 4;
	return text;
}

static void log_formatted(const char *level_mark, const char *device,
			  const char *fmt, va_list args)
{
	char text[1024];
	const char *body = text;
	int level;

	vsnprintf(text, sizeof(text), fmt, args);
	if (level_mark)
		(void)split_level(level_mark, &level);
	else
		body = split_level(text, &level);
	ksim_log_add(level, device, body);
}

int printk(const char *fmt, ...)
{
	va_list args;

	va_start(args, fmt);
	log_formatted(NULL, NULL, fmt, args);
	va_end(args);
	return 0;
}

int dev_printk(const char *level, const struct device *dev, const char *fmt,
	       ...)
{
	va_list args;

	va_start(args, fmt);
	log_formatted(level, dev ? dev_name(dev) : NULL, fmt, args);
	va_end(args);
	return 0;
}

void ksim_bug(const char *fmt, ...)
{
	char text[512];
	va_list args;

	va_start(args, fmt);
	vsnprintf(text, sizeof(text), fmt, args);
	va_end(args);
	fprintf(stderr, "ksim: BUG: %s\n", text);
	if (bug_count == bug_capacity)
		bugs = grow_or_die(bugs, &bug_capacity, sizeof(*bugs));
	bugs[bug_count++] = dup_or_die(text);
}

size_t ksim_bug_count(void)
{
	return bug_count;
}

const char *ksim_bug_text(size_t i)
{
	return i < bug_count ? bugs[i] : NULL;
}

void __warn_on(const char *file, int line, const char *what)
{
	ksim_bug("WARN_ON(%s) at %s:%d", what, file, line);
}

void ksim_fail_next(enum ksim_fault fault, int err)
{
	if (fault < KSIM_NR_FAULTS)
		fault_err[fault] = err;
}

int ksim_take_fault(enum ksim_fault fault)
{
	int err = fault_err[fault];

	fault_err[fault] = 0;
	return err;
}

void ksim_set_hook(enum ksim_point point, void (*fn)(void *), void *arg)
{
	if (point >= KSIM_NR_POINTS)
		return;
	hooks[point].fn = fn;
	hooks[point].arg = arg;
}

void ksim_pass(enum ksim_point point)
{
	if (hooks[point].fn)
		hooks[point].fn(hooks[point].arg);
}

void ksim_irq_enter(void)
{
	hardirq_depth++;
}

void ksim_irq_exit(void)
{
	hardirq_depth--;
}

bool in_interrupt(void)
{
	return hardirq_depth > 0;
}

void __might_sleep(const char *func)
{
	if (in_interrupt())
		ksim_bug("sleeping function called from invalid context: %s",
			 func);
}

void ksim_check_free(const void *p, size_t size)
{
	ksim_work_check_free(p, size);
	ksim_irq_check_free(p, size);
	ksim_extcon_check_free(p, size);
}

static void clear_records(void)
{
	size_t i;

	for (i = 0; i < log_records.count; i++) {
		free((char *)log_records.records[i].device);
		free((char *)log_records.records[i].text);
	}
	free(log_records.records);
	memset(&log_records, 0, sizeof(log_records));
	for (i = 0; i < bug_count; i++)
		free(bugs[i]);
	free(bugs);
	bugs = NULL;
	bug_count = 0;
	bug_capacity = 0;
}

void ksim_reset(void)
{
	/* Hooks could act on what the reset takes apart. */
	memset(hooks, 0, sizeof(hooks));
	memset(fault_err, 0, sizeof(fault_err));
	ksim_bus_reset();
	ksim_extcon_reset();
	ksim_work_reset();
	ksim_gpio_reset();
	ksim_mem_reset();
	hardirq_depth = 0;
	clear_records();
}
