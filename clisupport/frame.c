// SPDX-License-Identifier: GPL-2.0-or-later
#include "frame.h"

#include <locale.h>
#include <stdlib.h>

#include "closeout.h"

const char *program_name;
int exit_failure = 1;

void frame_start(const char *argv0, int failure_status)
{
	program_name = argv0;
	(void)setlocale(LC_ALL, "");
	(void)bindtextdomain(FRAME_TEXT_DOMAIN, FRAME_LOCALE_DIR);
	(void)textdomain(FRAME_TEXT_DOMAIN);
	exit_failure = failure_status;
	(void)atexit(close_stdout);
}
