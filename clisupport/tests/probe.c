// SPDX-License-Identifier: GPL-2.0-or-later
// A small program over the support library, so that its exits and messages
// can be watched from outside: probe FAILURE-STATUS COMMAND ARGS...
// Allocations fail as the FAILALLOC_ variables ask (failalloc.h).
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "keyword.h"
#include "frame.h"
#include "quote.h"
#include "version.h"
#include "xalloc.h"

void (*argmatch_die)(void);

static void probe_usage_failure(void)
{
	fprintf(stderr, "Try 'probe --help' for more information.\n");
	exit(1);
}

static const char *const probe_backup_args[] = { "none", "off",	     "simple", "never", "existing",
						 "nil",	 "numbered", "t",      NULL };
static const int probe_backup_values[] = { 0, 0, 1, 1, 2, 2, 3, 3 };

int main(int argc, char **argv)
{
	if (argc < 3)
		return 99;
	frame_start(argv[0], atoi(argv[1]));
	argmatch_die = probe_usage_failure;
	const char *command = argv[2];

	if (strcmp(command, "quote") == 0) {
		// Each argument into its own slot, then all printed, so that a
		// slot overwritten by a later quoting shows.
		char *quoted[16];
		int n = argc - 3 < 16 ? argc - 3 : 16;
		for (int i = 0; i < n; i++)
			quoted[i] = quote_name_n(i, argv[3 + i]);
		for (int i = 0; i < n; i++)
			printf("%s\n", quoted[i]);
		return 0;
	}
	if (strcmp(command, "print") == 0) {
		for (int i = 3; i < argc; i++)
			fputs(argv[i], stdout);
		return 0;
	}
	if (strcmp(command, "exit") == 0)
		return argc > 3 ? atoi(argv[3]) : 0;
	if (strcmp(command, "keyword") == 0) {
		int i = match_argument_or_die("backup type", argv[3], probe_backup_args,
					      probe_backup_values, sizeof(int), argmatch_die);
		printf("%s\n", probe_backup_args[i]);
		return 0;
	}
	if (strcmp(command, "version") == 0) {
		const char *authors[] = { "Ada Example", NULL };
		print_version_text(stdout, "probe", "quellkit", "1.0",
				   argc > 3 ? authors + 1 : authors);
		return 0;
	}
	if (strcmp(command, "strdup") == 0) {
		char *copy = checked_strndup(argv[3], strlen(argv[3]));
		printf("%s\n", copy);
		free(copy);
		return 0;
	}
	return 99;
}
