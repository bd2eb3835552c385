// SPDX-License-Identifier: GPL-2.0-or-later
#include "version.h"

#include <stdlib.h>

#include "frame.h"

// The year of the current release.
#define VERSION_COPYRIGHT_YEAR 2026

const char version_etc_copyright[] = N_("Copyright %s %d the Quellkit developers.\n");

static void version_print_authors(FILE *stream, const char *const *authors, size_t count)
{
	if (count == 1) {
		fprintf(stream, _("Written by %s.\n"), authors[0]);
		return;
	}
	fputs(_("Written by "), stream);
	for (size_t i = 0; i < count; i++) {
		if (i > 0)
			fputs(i + 1 == count ? _(" and ") : ", ", stream);
		fputs(authors[i], stream);
	}
	fputs(".\n", stream);
}

void print_version_text(FILE *stream, const char *command, const char *package, const char *version,
			const char *const *authors)
{
	size_t count = 0;
	while (authors[count])
		count++;
	if (count == 0)
		abort();

	fprintf(stream, "%s (%s) %s\n", command, package, version);
	fprintf(stream, _(version_etc_copyright), _("(C)"), VERSION_COPYRIGHT_YEAR);
	fputs(_("Licence: GNU General Public License, version 2 or any later version.\n"
		"You may share and change this program under those terms.\n"
		"It comes with no warranty of any kind.\n"),
	      stream);
	fputs("\n", stream);
	version_print_authors(stream, authors, count);
}
