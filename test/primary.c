// SPDX-License-Identifier: GPL-2.0-or-later
#define _GNU_SOURCE
#include "primary.h"

#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "expr.h"
#include "frame.h"
#include "quote.h"

static bool is_digit(char c)
{
	return c >= '0' && c <= '9';
}

static const char *skip_zeros(const char *p)
{
	while (*p == '0')
		p++;
	return p;
}

static size_t count_digits(const char *p)
{
	size_t n = 0;

	while (is_digit(p[n]))
		n++;
	return n;
}

const char *check_integer(const char *word)
{
	const unsigned char *p = (const unsigned char *)word;
	const char *text;

	while (isblank(*p))
		p++;
	text = (const char *)p;
	if (*p == '+')
		text = (const char *)++p;
	else if (*p == '-')
		p++;
	if (!is_digit(*p))
		goto invalid;
	while (is_digit(*p))
		p++;
	while (isblank(*p))
		p++;
	if (*p != '\0')
		goto invalid;
	return text;

invalid:
	report_syntax_error(_("invalid integer %s"), quote_name(word));
}

const char *length_text(size_t n, char *buf)
{
	char *p = buf + LENGTH_TEXT_SIZE - 1;

	*p = '\0';
	do {
		*--p = (char)('0' + n % 10);
		n /= 10;
	} while (n != 0);
	return p;
}

// Compares two digit runs without leading zeros: the longer is the greater,
// else the first differing digit decides.
static int compare_magnitudes(const char *a, const char *b)
{
	size_t na, nb;
	int d;

	while (*a == *b && is_digit(*a)) {
		a++;
		b++;
	}
	d = (unsigned char)*a - (unsigned char)*b;
	na = count_digits(a);
	nb = count_digits(b);
	if (na != nb)
		return na > nb ? 1 : -1;
	return na == 0 ? 0 : d;
}

int compare_integer_texts(const char *a, const char *b)
{
	bool a_negative = *a == '-';
	bool b_negative = *b == '-';

	if (a_negative && !b_negative) {
		a = skip_zeros(a + 1);
		if (is_digit(*a))
			return -1;
		return is_digit(*skip_zeros(b)) ? -1 : 0;
	}
	if (b_negative && !a_negative) {
		b = skip_zeros(b + 1);
		if (is_digit(*b))
			return 1;
		return is_digit(*skip_zeros(a)) ? 1 : 0;
	}
	if (a_negative)
		return compare_magnitudes(skip_zeros(b + 1), skip_zeros(a + 1));
	return compare_magnitudes(skip_zeros(a), skip_zeros(b));
}

bool modification_time(const char *path, struct timespec *when)
{
	struct stat st;

	if (stat(path, &st) != 0)
		return false;
	*when = st.st_mtim;
	return true;
}

static int compare_times(struct timespec a, struct timespec b)
{
	if (a.tv_sec != b.tv_sec)
		return a.tv_sec < b.tv_sec ? -1 : 1;
	if (a.tv_nsec != b.tv_nsec)
		return a.tv_nsec < b.tv_nsec ? -1 : 1;
	return 0;
}

static const struct test_operator operators[] = {
	{ "-r", 1, op_access, R_OK },
	{ "-w", 1, op_access, W_OK },
	{ "-x", 1, op_access, X_OK },
	{ "-t", 1, op_terminal, 0 },
	{ "-n", 1, op_nonempty_text, 0 },
	{ "-z", 1, op_empty_text, 0 },
	{ "-N", 1, op_never, 0 },
	{ "-o", 1, op_never, 0 },
	{ "-h", 1, op_symlink, 0 },
	{ "-L", 1, op_symlink, 0 },
	{ "-f", 1, op_file_type, S_IFREG },
	{ "-d", 1, op_file_type, S_IFDIR },
	{ "-b", 1, op_file_type, S_IFBLK },
	{ "-c", 1, op_file_type, S_IFCHR },
	{ "-p", 1, op_file_type, S_IFIFO },
	{ "-S", 1, op_file_type, S_IFSOCK },
	{ "-u", 1, op_mode_bit, S_ISUID },
	{ "-g", 1, op_mode_bit, S_ISGID },
	{ "-k", 1, op_mode_bit, S_ISVTX },
	{ "-O", 1, op_owner, 0 },
	{ "-G", 1, op_group, 0 },
	{ "-s", 1, op_nonempty_file, 0 },
	{ "-a", 1, op_exists, 0 },
	{ "-e", 1, op_exists, 0 },
	{ "=", 2, op_texts, outcome_equal },
	{ "!=", 2, op_texts, outcome_less | outcome_greater },
	{ "-nt", 2, op_newer, 0 },
	{ "-ot", 2, op_older, 0 },
	{ "-ef", 2, op_same_file, 0 },
	{ "-eq", 2, op_integers, outcome_equal },
	{ "-ne", 2, op_integers, outcome_less | outcome_greater },
	{ "-lt", 2, op_integers, outcome_less },
	{ "-le", 2, op_integers, outcome_less | outcome_equal },
	{ "-gt", 2, op_integers, outcome_greater },
	{ "-ge", 2, op_integers, outcome_greater | outcome_equal },
};

const struct test_operator *find_operator(const char *word, int arity)
{
	for (size_t i = 0; i < sizeof operators / sizeof operators[0]; i++) {
		if (operators[i].arity == arity && strcmp(word, operators[i].text) == 0)
			return &operators[i];
	}
	return NULL;
}

// Whether the sign of a comparison is one of outcomes.
static bool outcome_in(int comparison, int outcomes)
{
	int outcome = comparison < 0	? outcome_less
		      : comparison == 0 ? outcome_equal
					: outcome_greater;

	return (outcome & outcomes) != 0;
}

// A descriptor number beyond int is no descriptor at all, rather than one
// whose number wrapped around.
static bool is_terminal(const char *operand)
{
	const char *text = check_integer(operand);
	long fd;

	errno = 0;
	fd = strtol(text, NULL, 10);
	if (errno == ERANGE || fd < 0 || fd > INT_MAX)
		return false;
	return isatty((int)fd);
}

static bool file_test(const struct test_operator *t, const char *path)
{
	struct stat st;

	if (t->kind == op_symlink)
		return lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
	if (stat(path, &st) != 0)
		return false;
	switch (t->kind) {
	case op_file_type:
		return (st.st_mode & S_IFMT) == (mode_t)t->value;
	case op_mode_bit:
		return (st.st_mode & (mode_t)t->value) != 0;
	case op_owner:
		return st.st_uid == geteuid();
	case op_group:
		return st.st_gid == getegid();
	case op_nonempty_file:
		return st.st_size > 0;
	default: /* op_exists */
		return true;
	}
}

bool eval_unary(void)
{
	const struct test_operator *t = find_operator(arg_words[arg_pos++], 1);
	const char *operand;

	if (arg_pos >= arg_count)
		report_missing_argument();
	operand = arg_words[arg_pos++];
	switch (t->kind) {
	case op_access:
		return euidaccess(operand, t->value) == 0;
	case op_terminal:
		return is_terminal(operand);
	case op_nonempty_text:
		return operand[0] != '\0';
	case op_empty_text:
		return operand[0] == '\0';
	case op_never:
		// No test is defined for these letters: the condition never holds.
		return false;
	default:
		return file_test(t, operand);
	}
}

static bool compare_integers(const struct test_operator *t, const char *left, bool left_length,
			     const char *right, bool right_length)
{
	char left_buf[LENGTH_TEXT_SIZE], right_buf[LENGTH_TEXT_SIZE];
	const char *a, *b;

	a = left_length ? length_text(strlen(left), left_buf) : check_integer(left);
	b = right_length ? length_text(strlen(right), right_buf) : check_integer(right);
	return outcome_in(compare_integer_texts(a, b), t->value);
}

static bool compare_files(const struct test_operator *t, const char *left, const char *right)
{
	struct timespec lt, rt;
	struct stat ls, rs;
	bool left_ok, right_ok;

	if (t->kind == op_same_file) {
		return stat(left, &ls) == 0 && stat(right, &rs) == 0 && ls.st_dev == rs.st_dev &&
		       ls.st_ino == rs.st_ino;
	}
	left_ok = modification_time(left, &lt);
	right_ok = modification_time(right, &rt);
	if (t->kind == op_newer)
		return left_ok && (!right_ok || compare_times(lt, rt) > 0);
	return right_ok && (!left_ok || compare_times(lt, rt) < 0);
}

bool eval_binary(bool left_length)
{
	const char *left, *right;
	const struct test_operator *t;
	bool right_length = false;
	int pos;

	if (left_length)
		arg_pos++;
	left = arg_words[arg_pos];
	t = find_operator(arg_words[arg_pos + 1], 2);
	pos = arg_pos + 2;
	if (arg_count - pos >= 2 && strcmp(arg_words[pos], "-l") == 0) {
		right_length = true;
		pos++;
	}
	right = arg_words[pos];
	arg_pos = pos + 1;

	switch (t->kind) {
	case op_texts:
		return outcome_in(strcmp(left, right), t->value);
	case op_integers:
		return compare_integers(t, left, left_length, right, right_length);
	default:
		if (left_length || right_length) {
			// The three messages are spelled out for the catalog.
			const char *message = t->kind == op_newer   ? _("-nt does not accept -l")
					      : t->kind == op_older ? _("-ot does not accept -l")
								    : _("-ef does not accept -l");
			report_syntax_error(message, NULL);
		}
		return compare_files(t, left, right);
	}
}
