// SPDX-License-Identifier: GPL-2.0-or-later
// The primaries of test: unary tests of one operand and comparisons of two,
// integers compared as decimal texts of any length.
#ifndef TEST_PRIMARY_H
#define TEST_PRIMARY_H

#include <stdbool.h>
#include <stddef.h>
#include <time.h>

// Room for length_text of any size_t, with its terminator.
#define LENGTH_TEXT_SIZE 24

// The word at arg_pos is a unary operator: consumes it and its operand and
// applies the test.
bool eval_unary(void);
// The word at arg_pos is the left operand, or "-l" when left_length is set:
// consumes the comparison (three to five words) and applies it.
bool eval_binary(bool left_length);

// The integer text of word: leading blanks and a '+' skipped, a '-' kept,
// trailing blanks left in place. Any other form is the syntax error
// "invalid integer %s".
const char *check_integer(const char *word);
// The decimal text of n, written into buf (LENGTH_TEXT_SIZE bytes).
const char *length_text(size_t n, char *buf);
// Negative, zero or positive as integer text a is less than, equal to or
// greater than b.
int compare_integer_texts(const char *a, const char *b);
// Whether the status of path could be read; if so its modification time is
// stored in *when.
bool modification_time(const char *path, struct timespec *when);

#endif
