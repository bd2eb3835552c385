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

static bool file_test(char letter, const char *path)
{
	struct stat st;

	if (letter == 'h' || letter == 'L')
		return lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
	if (stat(path, &st) != 0)
		return false;
	switch (letter) {
	case 'f':
		return S_ISREG(st.st_mode);
	case 'd':
		return S_ISDIR(st.st_mode);
	case 'b':
		return S_ISBLK(st.st_mode);
	case 'c':
		return S_ISCHR(st.st_mode);
	case 'p':
		return S_ISFIFO(st.st_mode);
	case 'S':
		return S_ISSOCK(st.st_mode);
	case 'u':
		return (st.st_mode & S_ISUID) != 0;
	case 'g':
		return (st.st_mode & S_ISGID) != 0;
	case 'k':
		return (st.st_mode & S_ISVTX) != 0;
	case 'O':
		return st.st_uid == geteuid();
	case 'G':
		return st.st_gid == getegid();
	case 's':
		return st.st_size > 0;
	default: /* a, e */
		return true;
	}
}

bool eval_unary(void)
{
	char letter = arg_words[arg_pos++][1];
	const char *operand;

	if (arg_pos >= arg_count)
		report_missing_argument();
	operand = arg_words[arg_pos++];
	switch (letter) {
	case 'r':
		return euidaccess(operand, R_OK) == 0;
	case 'w':
		return euidaccess(operand, W_OK) == 0;
	case 'x':
		return euidaccess(operand, X_OK) == 0;
	case 't':
		return is_terminal(operand);
	case 'n':
		return operand[0] != '\0';
	case 'z':
		return operand[0] == '\0';
	case 'N':
	case 'o':
		// No test is defined for these letters: the condition never holds.
		return false;
	default:
		return file_test(letter, operand);
	}
}

static bool compare_integers(const char *op, const char *left, bool left_length,
			     const char *right, bool right_length)
{
	char left_buf[LENGTH_TEXT_SIZE], right_buf[LENGTH_TEXT_SIZE];
	const char *a, *b;
	int c;

	a = left_length ? length_text(strlen(left), left_buf) : check_integer(left);
	b = right_length ? length_text(strlen(right), right_buf) : check_integer(right);
	c = compare_integer_texts(a, b);
	if (op[1] == 'e' && op[2] == 'q')
		return c == 0;
	if (op[1] == 'n')
		return c != 0;
	if (op[1] == 'l')
		return op[2] == 't' ? c < 0 : c <= 0;
	return op[2] == 't' ? c > 0 : c >= 0;
}

static bool compare_files(const char *op, const char *left, const char *right)
{
	struct timespec lt, rt;
	struct stat ls, rs;
	bool left_ok, right_ok;

	if (op[1] == 'e') {
		return stat(left, &ls) == 0 && stat(right, &rs) == 0 &&
		       ls.st_dev == rs.st_dev && ls.st_ino == rs.st_ino;
	}
	left_ok = modification_time(left, &lt);
	right_ok = modification_time(right, &rt);
	if (op[1] == 'n')
		return left_ok && (!right_ok || compare_times(lt, rt) > 0);
	return right_ok && (!left_ok || compare_times(lt, rt) < 0);
}

bool eval_binary(bool left_length)
{
	const char *left, *op, *right;
	bool right_length = false;
	int pos;

	if (left_length)
		arg_pos++;
	left = arg_words[arg_pos];
	op = arg_words[arg_pos + 1];
	pos = arg_pos + 2;
	if (arg_count - pos >= 2 && strcmp(arg_words[pos], "-l") == 0) {
		right_length = true;
		pos++;
	}
	right = arg_words[pos];
	arg_pos = pos + 1;

	if (op[0] == '=')
		return strcmp(left, right) == 0;
	if (op[0] == '!')
		return strcmp(left, right) != 0;
	if (strcmp(op, "-nt") == 0 || strcmp(op, "-ot") == 0 || strcmp(op, "-ef") == 0) {
		if (left_length || right_length) {
			// The three messages are spelled out for the catalog.
			const char *message = op[1] == 'n' ? _("-nt does not accept -l") :
					      op[1] == 'o' ? _("-ot does not accept -l") :
							     _("-ef does not accept -l");
			report_syntax_error(message, NULL);
		}
		return compare_files(op, left, right);
	}
	return compare_integers(op, left, left_length, right, right_length);
}
