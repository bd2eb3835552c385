// SPDX-License-Identifier: GPL-2.0-or-later
// An empty program that only loads the locale, as every command-line tool of
// the system does first.
#include <locale.h>

int main(void)
{
	(void)setlocale(LC_ALL, "");
	return 0;
}
