// SPDX-License-Identifier: GPL-2.0-or-later
#include "modechange.h"

#include <stdint.h>
#include <stdlib.h>

#include "xalloc.h"

#define ALL_MODE_BITS 07777
#define SET_ID_BITS 06000

static bool is_operator(char c)
{
	return c == '=' || c == '+' || c == '-';
}

static struct mode_step *parse_octal(const char *text)
{
	mode_t value = 0;
	const char *p = text;

	for (; *p >= '0' && *p <= '7'; p++) {
		value = value * 8 + (mode_t)(*p - '0');
		if (value > ALL_MODE_BITS)
			return NULL;
	}
	if (*p != '\0')
		return NULL;

	struct mode_step *steps = checked_malloc(2 * sizeof *steps);
	steps[0] = (struct mode_step){
		.operator= '=',
		.kind = MODE_STEP_PLAIN,
		.who_mask = ALL_MODE_BITS,
		.perm_bits = value,
		// an octal number without set-id bits leaves those of a
		// directory alone
		.named_bits = (value & SET_ID_BITS) | 01777,
	};
	steps[1] = (struct mode_step){ .kind = MODE_STEP_END };
	return steps;
}

// Reads the class letters of a clause; *p is left on the first other byte.
static mode_t parse_who(const char **p)
{
	mode_t who = 0;

	for (;; (*p)++) {
		switch (**p) {
		case 'u':
			who |= 04700;
			break;
		case 'g':
			who |= 02070;
			break;
		case 'o':
			who |= 01007;
			break;
		case 'a':
			who |= ALL_MODE_BITS;
			break;
		default:
			return who;
		}
	}
}

// Reads what follows one operator into step (all but operator and masks).
static void parse_perms(const char **p, struct mode_step *step)
{
	static const struct {
		char letter;
		mode_t bits;
	} classes[] = { { 'u', 0700 }, { 'g', 070 }, { 'o', 07 } };

	for (size_t i = 0; i < sizeof classes / sizeof classes[0]; i++) {
		if (**p == classes[i].letter) {
			step->kind = MODE_STEP_COPY;
			step->perm_bits = classes[i].bits;
			(*p)++;
			return;
		}
	}

	step->kind = MODE_STEP_PLAIN;
	step->perm_bits = 0;
	for (;; (*p)++) {
		switch (**p) {
		case 'r':
			step->perm_bits |= 0444;
			break;
		case 'w':
			step->perm_bits |= 0222;
			break;
		case 'x':
			step->perm_bits |= 0111;
			break;
		case 'X':
			step->kind = MODE_STEP_PLAIN_X;
			break;
		case 's':
			step->perm_bits |= SET_ID_BITS;
			break;
		case 't':
			step->perm_bits |= 01000;
			break;
		default:
			return;
		}
	}
}

struct mode_step *mode_parse(const char *text)
{
	if (*text >= '0' && *text <= '7')
		return parse_octal(text);
	if (*text == '\0')
		return NULL;

	size_t operators = 0;
	for (const char *p = text; *p; p++)
		operators += is_operator(*p);
	if (operators >= SIZE_MAX / sizeof(struct mode_step))
		die_memory_exhausted();
	struct mode_step *steps = checked_malloc((operators + 1) * sizeof *steps);

	size_t n = 0;
	const char *p = text;
	for (;;) {
		mode_t who = parse_who(&p);
		if (!is_operator(*p))
			goto out_invalid;
		while (is_operator(*p)) {
			struct mode_step *step = &steps[n++];
			step->operator= * p++;
			parse_perms(&p, step);
			step->who_mask = who;
			step->named_bits = who ? who & step->perm_bits : step->perm_bits;
		}
		if (*p == '\0')
			break;
		if (*p != ',')
			goto out_invalid;
		p++;
	}
	steps[n] = (struct mode_step){ .kind = MODE_STEP_END };
	return steps;

out_invalid:
	free(steps);
	return NULL;
}

mode_t mode_apply(mode_t old_mode, bool is_dir, mode_t mask, const struct mode_step *steps,
		  mode_t *changed)
{
	mode_t mode = old_mode & ALL_MODE_BITS;
	mode_t touched = 0;

	for (const struct mode_step *s = steps; s->kind != MODE_STEP_END; s++) {
		// a directory keeps set-id bits the step does not mention
		mode_t omit = is_dir ? SET_ID_BITS & ~s->named_bits : 0;
		mode_t v = s->perm_bits;

		if (s->kind == MODE_STEP_PLAIN_X) {
			if ((mode & 0111) || is_dir)
				v |= 0111;
		} else if (s->kind == MODE_STEP_COPY) {
			v &= mode;
			v |= (v & 0444 ? 0444 : 0) | (v & 0222 ? 0222 : 0) | (v & 0111 ? 0111 : 0);
		}
		v &= (s->who_mask ? s->who_mask : ~mask) & ~omit;

		switch (s->operator) {
		case '-':
			touched |= v;
			mode &= ~v;
			break;
		case '+':
			touched |= v;
			mode |= v;
			break;
		case '=': {
			mode_t keep = (s->who_mask ? ~s->who_mask : 0) | omit;
			touched |= ALL_MODE_BITS & ~keep;
			mode = (mode & keep) | v;
			break;
		}
		}
	}
	if (changed)
		*changed = touched;
	return mode;
}
