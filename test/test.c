// SPDX-License-Identifier: GPL-2.0-or-later
// test: evaluates the condition given as its words; status 0 true, 1 false,
// 2 when the words are no valid condition.
#include "expr.h"
#include "frame.h"

int main(int argc, char **argv)
{
	frame_start(argv[0], 2);
	return test_evaluate(argc, argv);
}
