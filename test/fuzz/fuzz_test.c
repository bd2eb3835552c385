// SPDX-License-Identifier: GPL-2.0-or-later
// Evaluates arbitrary word vectors: the input split at zero bytes into the
// words after the program name.
#include <setjmp.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "expr.h"
#include "frame.h"

static void evaluate(int argc, char **argv)
{
	if (setjmp(syntax_error_escape) == 0)
		(void)test_evaluate(argc, argv);
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	char *text = malloc(size + 1);
	char **words;
	int count = 1;

	if (!text)
		return 0;
	memcpy(text, data, size);
	text[size] = '\0';
	for (size_t i = 0; i < size; i++)
		count += text[i] == '\0';
	words = calloc((size_t)count + 2, sizeof *words);
	if (!words) {
		free(text);
		return 0;
	}
	words[0] = "test";
	for (int n = 1, i = 0; n <= count; n++) {
		words[n] = text + i;
		i += (int)strlen(text + i) + 1;
	}
	// An empty input is the command line with no words at all.
	if (size == 0)
		count = 0;
	exit_failure = 2;
	evaluate(count + 1, words);
	free(words);
	free(text);
	return 0;
}
