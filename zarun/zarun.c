// SPDX-License-Identifier: GPL-2.0-or-later
// Runs Ruby scripts: the command line goes to the interpreter unchanged, and
// its result is the exit status.
#include <locale.h>

#include <ruby.h>

int main(int argc, char **argv)
{
	(void)setlocale(LC_CTYPE, "");
	ruby_sysinit(&argc, &argv);
	{
		// The collector scans the machine stack from here; this frame
		// lives for the whole run.
		VALUE stack_start;
		ruby_init_stack(&stack_start);
		ruby_init();
		return ruby_run_node(ruby_options(argc, argv));
	}
}
