// SPDX-License-Identifier: GPL-2.0-or-later
// The expression grammar of test: the rule chosen by the number of words,
// negation, conjunction, disjunction and parentheses, and syntax errors.
#ifndef TEST_EXPR_H
#define TEST_EXPR_H

#include <stdbool.h>

#ifdef QK_FUZZING
#include <setjmp.h>
// The fuzz target evaluates many word vectors in one process: a syntax error
// jumps back here instead of ending it.
extern jmp_buf syntax_error_escape;
#endif

// The command-line words, program name at index 0, a null entry after the
// last; their count including the program name; the next word to parse.
extern char **arg_words;
extern int arg_count;
extern int arg_pos;

// Evaluates the words after arg_words[0] (argc counts the program name) and
// returns the exit status, 0 true or 1 false; syntax errors end the process
// with status 2.
int test_evaluate(int argc, char **argv);

// Evaluates the next n words (n >= 1) by the rule for that count.
bool eval_counted(int n);
bool eval_two(void);
bool eval_three(void);
bool eval_four(void);
bool eval_expression(void);
bool eval_term(void);

// Writes "NAME: " and the format filled in with argument (which may be NULL
// when the format takes none) on standard error and exits with status 2.
// The format is already translated.
_Noreturn void report_syntax_error(const char *format, const char *argument);
// "missing argument after %s" with the last word of the command line.
_Noreturn void report_missing_argument(void);

// Whether word is one of the eleven binary operators.
bool is_binary_operator(const char *word);
// Whether word is '-' and one letter that names a unary test.
bool is_unary_letter(const char *word);

#endif
