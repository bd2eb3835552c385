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

// What an operator tests; value refines it as the table row says.
enum operator_kind {
	// value: the access mode asked of the effective ids
	op_access,
	op_terminal,
	op_empty_text,
	op_nonempty_text,
	// letters that name no test: the condition never holds
	op_never,
	op_symlink,
	// value: the file type (S_IFMT bits)
	op_file_type,
	// value: the permission bit that must be set
	op_mode_bit,
	op_owner,
	op_group,
	op_nonempty_file,
	op_exists,
	// value: the outcomes (outcome_*) of the comparison that make it true
	op_texts,
	op_integers,
	op_newer,
	op_older,
	op_same_file
};

enum { outcome_less = 1, outcome_equal = 2, outcome_greater = 4 };

struct test_operator {
	const char *text;
	// 1 for a unary test, 2 for a binary comparison
	int arity;
	enum operator_kind kind;
	int value;
};

// The operator of the given arity spelled word, or NULL.
const struct test_operator *find_operator(const char *word, int arity);

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
