// SPDX-License-Identifier: GPL-2.0-or-later
/*
 * trellow-sim: a board with one trellow connector on the simulated machine.
 * It loads the module, moves the line as told and prints what user space
 * would read from the connector, and each state change as it happens.
 *
 * trellow-sim [--name N] [--gpio G] [--debounce MS] [--flags F] [--on T]
 *             [--off T] [--level V] COMMAND...
 * with F one of rising, falling, both (0 for none), and the commands
 * load, unload, set V, wait MS, show.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ksim.h"
#include "trellow.h"

#define TRIGGER_RISING 0x1UL
#define TRIGGER_FALLING 0x2UL

static struct trellow_platform_data board = {
	.name = "dock",
	.gpio = 5,
	.debounce_ms = 50,
	.irq_flags = TRIGGER_RISING | TRIGGER_FALLING,
};

static unsigned long start;
static size_t logged;
static unsigned long changes;

static unsigned long now_ms(void)
{
	return (ksim_jiffies() - start) * (1000 / KSIM_HZ);
}

static void print_log(void)
{
	const struct ksim_log_record *r;

	for (; logged < ksim_log_count(); logged++) {
		r = ksim_log_entry(logged);
		printf("[%5lu ms] kernel: %s%s%s", now_ms(), r->device ? r->device : "",
		       r->device ? ": " : "", r->text);
	}
}

static void show(const char *why)
{
	char text[256];
	ssize_t n = ksim_extcon_read_state(board.name, text, sizeof(text));

	if (n < 0) {
		printf("[%5lu ms] %s: /sys/class/extcon/%s/state: %s\n", now_ms(), why, board.name,
		       strerror((int)-n));
		return;
	}
	printf("[%5lu ms] %s: /sys/class/extcon/%s/state: %s", now_ms(), why, board.name, text);
	if (n == 0 || text[n - 1] != '\n')
		putchar('\n');
}

/* Reports a change of the connector's state since the last look. */
static void watch(void)
{
	unsigned long c = ksim_extcon_changes(board.name);

	print_log();
	if (c != changes) {
		changes = c;
		show("changed");
	}
}

static int parse_flags(const char *s, unsigned long *flags)
{
	if (!strcmp(s, "rising"))
		*flags = TRIGGER_RISING;
	else if (!strcmp(s, "falling"))
		*flags = TRIGGER_FALLING;
	else if (!strcmp(s, "both"))
		*flags = TRIGGER_RISING | TRIGGER_FALLING;
	else if (!strcmp(s, "0"))
		*flags = 0;
	else
		return -1;
	return 0;
}

static int parse_uint(const char *s, unsigned *value)
{
	unsigned long long v = 0;

	if (!*s)
		return -1;
	for (; *s; s++) {
		if (*s < '0' || *s > '9')
			return -1;
		v = v * 10 + (unsigned)(*s - '0');
		if (v > 0xffffffffULL)
			return -1;
	}
	*value = v;
	return 0;
}

static int parse_option(const char *opt, const char *arg, unsigned *level)
{
	if (!strcmp(opt, "--name"))
		board.name = arg;
	else if (!strcmp(opt, "--on"))
		board.on_text = arg;
	else if (!strcmp(opt, "--off"))
		board.off_text = arg;
	else if (!strcmp(opt, "--gpio"))
		return parse_uint(arg, &board.gpio);
	else if (!strcmp(opt, "--debounce"))
		return parse_uint(arg, &board.debounce_ms);
	else if (!strcmp(opt, "--level"))
		return parse_uint(arg, level);
	else if (!strcmp(opt, "--flags"))
		return parse_flags(arg, &board.irq_flags);
	else
		return -1;
	return 0;
}

static int usage(const char *what)
{
	fprintf(stderr, "trellow-sim: %s\n", what);
	return 2;
}

static int run_command(char **argv, int *i, int argc)
{
	const char *cmd = argv[*i];
	unsigned value;
	int ret;

	if (!strcmp(cmd, "load")) {
		ret = ksim_module_load("trellow");
		printf("[%5lu ms] load trellow: %s\n", now_ms(), ret ? strerror(-ret) : "ok");
		changes = ksim_extcon_changes(board.name);
		print_log();
		return 0;
	}
	if (!strcmp(cmd, "unload")) {
		ret = ksim_module_unload("trellow");
		printf("[%5lu ms] unload trellow: %s\n", now_ms(), ret ? strerror(-ret) : "ok");
		print_log();
		return 0;
	}
	if (!strcmp(cmd, "show")) {
		show("read");
		return 0;
	}
	if (*i + 1 >= argc || parse_uint(argv[*i + 1], &value))
		return usage("set and wait need a number");
	++*i;
	if (!strcmp(cmd, "set")) {
		printf("[%5lu ms] line %u -> %u\n", now_ms(), board.gpio, value);
		ksim_gpio_set(board.gpio, value);
		watch();
		return 0;
	}
	if (!strcmp(cmd, "wait")) {
		unsigned long ticks = ((unsigned long long)value * KSIM_HZ + 999) / 1000;

		while (ticks--) {
			ksim_advance(1);
			watch();
		}
		return 0;
	}
	return usage("unknown command");
}

int main(int argc, char **argv)
{
	unsigned level = 0;
	int i, status = 0;
	size_t b;

	for (i = 1; i + 1 < argc && !strncmp(argv[i], "--", 2); i += 2)
		if (parse_option(argv[i], argv[i + 1], &level))
			return usage("bad option or value");
	if (board.gpio >= KSIM_NR_GPIOS)
		return usage("no such line");

	ksim_reset();
	start = ksim_jiffies();
	ksim_gpio_set(board.gpio, level);
	if (!ksim_device_add("trellow", 0, &board))
		return usage("cannot add the board device");
	printf("board: trellow.0 watches line %u, debounce %u ms, "
	       "state texts %s/%s\n",
	       board.gpio, board.debounce_ms, board.on_text ? board.on_text : "-",
	       board.off_text ? board.off_text : "-");

	for (; i < argc && !status; i++)
		status = run_command(argv, &i, argc);

	for (b = 0; b < ksim_bug_count(); b++) {
		fprintf(stderr, "trellow-sim: kernel bug: %s\n", ksim_bug_text(b));
		status = 1;
	}
	ksim_reset();
	return status;
}
