// SPDX-License-Identifier: GPL-2.0-or-later
#include "expr.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>

#include "frame.h"
#include "primary.h"
#include "quote.h"

#ifdef QK_FUZZING
jmp_buf syntax_error_escape;
#endif

char **arg_words;
int arg_count;
int arg_pos;

// Below this many words the default stack holds any nesting of groups.
#define DEEP_WORDS 10000

static bool word_is(int pos, const char *text)
{
	return pos < arg_count && strcmp(arg_words[pos], text) == 0;
}

static bool is_dash_letter(const char *word)
{
	return word[0] == '-' && word[1] != '\0' && word[2] == '\0';
}

bool is_binary_operator(const char *word)
{
	return find_operator(word, 2) != NULL;
}

bool is_unary_letter(const char *word)
{
	return find_operator(word, 1) != NULL;
}

void report_syntax_error(const char *format, const char *argument)
{
#ifdef QK_FUZZING
	char message[512];

	(void)snprintf(message, sizeof message, format, argument);
	longjmp(syntax_error_escape, 1);
#else
	(void)fprintf(stderr, "%s: ", arg_words[0]);
	(void)fprintf(stderr, format, argument);
	(void)fputc('\n', stderr);
	(void)fflush(stderr);
	exit(2);
#endif
}

void report_missing_argument(void)
{
	report_syntax_error(_("missing argument after %s"), quote_name(arg_words[arg_count - 1]));
}

static _Noreturn void report_unary_expected(const char *word)
{
	report_syntax_error(_("%s: unary operator expected"), word);
}

bool eval_two(void)
{
	const char *a = arg_words[arg_pos];
	const char *b = arg_words[arg_pos + 1];

	if (strcmp(a, "!") == 0) {
		arg_pos += 2;
		return b[0] == '\0';
	}
	if (is_dash_letter(a)) {
		if (!is_unary_letter(a))
			report_unary_expected(a);
		return eval_unary();
	}
	report_missing_argument();
}

bool eval_three(void)
{
	const char *a = arg_words[arg_pos];
	const char *b = arg_words[arg_pos + 1];
	const char *c = arg_words[arg_pos + 2];

	if (is_binary_operator(b))
		return eval_binary(false);
	if (strcmp(a, "!") == 0) {
		arg_pos++;
		return !eval_two();
	}
	if (strcmp(a, "(") == 0 && strcmp(c, ")") == 0) {
		arg_pos += 3;
		return b[0] != '\0';
	}
	if (strcmp(b, "-a") == 0 || strcmp(b, "-o") == 0)
		return eval_expression();
	report_syntax_error(_("%s: binary operator expected"), b);
}

bool eval_four(void)
{
	bool value;

	if (word_is(arg_pos, "!")) {
		arg_pos++;
		return !eval_three();
	}
	if (word_is(arg_pos, "(") && word_is(arg_pos + 3, ")")) {
		arg_pos++;
		value = eval_two();
		arg_pos++;
		return value;
	}
	return eval_expression();
}

bool eval_counted(int n)
{
	switch (n) {
	case 1:
		return arg_words[arg_pos++][0] != '\0';
	case 2:
		return eval_two();
	case 3:
		return eval_three();
	case 4:
		return eval_four();
	default:
		if (arg_pos >= arg_count)
			report_missing_argument();
		return eval_expression();
	}
}

// Every term is evaluated, even once the value is settled, so that a syntax
// error anywhere in the expression is reported.
bool eval_expression(void)
{
	bool value = false;

	for (;;) {
		bool all = true;

		for (;;) {
			if (!eval_term())
				all = false;
			if (!word_is(arg_pos, "-a"))
				break;
			arg_pos++;
		}
		if (all)
			value = true;
		if (!word_is(arg_pos, "-o"))
			return value;
		arg_pos++;
	}
}

// The words of a group starting at arg_pos: up to the first ")" seen within
// four words, else every word left.
static int group_count(void)
{
	int count = 1;

	while (arg_pos + count < arg_count && !word_is(arg_pos + count, ")")) {
		if (count == 4)
			return arg_count - arg_pos;
		count++;
	}
	return count;
}

static bool eval_group(void)
{
	bool value;

	arg_pos++;
	if (arg_pos >= arg_count)
		report_missing_argument();
	value = eval_counted(group_count());
	if (arg_pos >= arg_count)
		report_syntax_error(_("')' expected"), NULL);
	if (!word_is(arg_pos, ")"))
		report_syntax_error(_("')' expected, found %s"), arg_words[arg_pos]);
	arg_pos++;
	return value;
}

static bool eval_primary(void)
{
	const char *word = arg_words[arg_pos];
	int left = arg_count - arg_pos;

	if (left >= 4 && strcmp(word, "-l") == 0 && is_binary_operator(arg_words[arg_pos + 2]))
		return eval_binary(true);
	if (left >= 3 && is_binary_operator(arg_words[arg_pos + 1]))
		return eval_binary(false);
	if (is_dash_letter(word)) {
		if (!is_unary_letter(word))
			report_unary_expected(word);
		return eval_unary();
	}
	arg_pos++;
	return word[0] != '\0';
}

bool eval_term(void)
{
	bool negate = false;
	bool value;

	if (arg_pos >= arg_count)
		report_missing_argument();
	while (word_is(arg_pos, "!")) {
		arg_pos++;
		negate = !negate;
		if (arg_pos >= arg_count)
			report_missing_argument();
	}
	if (word_is(arg_pos, "("))
		value = eval_group();
	else
		value = eval_primary();
	return value != negate;
}

// Groups nest by recursion, a few stack frames per "(": let the stack grow
// with the number of words, as far as the hard limit allows.
static void make_room_for(int words)
{
	struct rlimit limit;
	rlim_t wanted = (rlim_t)words * 1024 + ((rlim_t)8 << 20);

	if (words < DEEP_WORDS || getrlimit(RLIMIT_STACK, &limit) != 0)
		return;
	if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
		limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > wanted
					 ? wanted
					 : limit.rlim_max;
		(void)setrlimit(RLIMIT_STACK, &limit);
	}
}

int test_evaluate(int argc, char **argv)
{
	bool value;

	arg_words = argv;
	arg_count = argc;
	arg_pos = 1;
	if (argc <= 1)
		return 1;
	make_room_for(argc);
	value = eval_counted(argc - 1);
	if (arg_pos != arg_count)
		report_syntax_error(_("extra argument %s"), quote_name(arg_words[arg_pos]));
	return value ? 0 : 1;
}
