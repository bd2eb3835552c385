#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Checks the manual pages of the source tree:
#   check_pages.sh SOURCE_DIR VEXLINK ZARUN
# 1. Every page (*.1, *.3, *.4 outside build trees) renders without a single
#    roff warning.
# 2. Every option a program accepts appears in its page. The options come
#    from the programs themselves: from the words their sources compare
#    arguments with, or their getopt_long table, and from their help output
#    where there is one, so that a page cannot drift from its program.
set -u
src=$1 vexlink=$2 zarun=$3
failures=0

fail()
{
	echo "FAIL: $*" >&2
	failures=$((failures + 1))
}

# The pages of the tree; a build tree (it holds CMakeCache.txt) may lie in
# the source tree and is left out.
find_pages()
{
	find "$src" -type d \( -name .git -o -exec test -e '{}/CMakeCache.txt' \; \) -prune \
		-o -type f \( -name '*.1' -o -name '*.3' -o -name '*.4' \) -print | sort
}

# run_quietly WHAT COMMAND...: COMMAND must succeed and write nothing on
# standard error.
run_quietly()
{
	local what=$1 diagnostics status
	shift

	diagnostics=$("$@" 2>&1 >/dev/null)
	status=$?
	if [ $status -ne 0 ] || [ -n "$diagnostics" ]; then
		fail "$what (status $status):"
		printf '%s\n' "$diagnostics" >&2
	fi
}

# "w" enables every warning; "all" would leave out undefined macros. The
# terminal rendering, as a reader sees it, reports what does not fit in 80
# columns; the typesetter's also reports unknown fonts, which a terminal
# ignores.
check_renders_cleanly()
{
	local page=$1

	run_quietly "$page as shown by man" \
		env LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l -E UTF-8 "$page"
	run_quietly "$page typeset" groff -man -ww -z -rCHECKSTYLE=3 -k -Kutf8 -t "$page"
}

# The page as plain text: no hyphenation, no line breaks inside a paragraph.
plain_text()
{
	groff -man -Tascii -P-c -P-b -P-u -rHY=0 -rLL=2000n "$1" 2>/dev/null
}

# The page as words, one a line: brackets and bars of synopses and trailing
# punctuation split off; an option written with its argument, such as
# --mode=MODE, also stands alone.
page_words()
{
	plain_text "$1" | tr '[]|' '   ' | tr -s ' \t' '\n\n' |
		sed -e 's/[,.;:]*$//' -e '/^$/d' |
		awk '{ print } /^-[^=]+=/ { sub(/=.*/, ""); print }'
}

# compared_literals PATTERN FILE...: the string literal that ends each
# match of PATTERN, a comparison such as strcmp(arg, "-v").
compared_literals()
{
	local pattern=$1
	shift

	grep -ohE "$pattern" "$@" | sed -E 's/.*"([^"]*)"\)+$/\1/'
}

# check_options PAGE PROGRAM OPTION...: each OPTION is a word of PAGE.
check_options()
{
	local page=$1 program=$2 option words
	shift 2

	if [ $# -eq 0 ]; then
		fail "no options found for $program: the extraction no longer matches its source"
		return
	fi
	echo "$program: $*"
	words=$(page_words "$page")
	for option in "$@"; do
		grep -qxF -- "$option" <<<"$words" || fail "$page does not name $program's option $option"
	done
}

# vexlink_options USAGE
vexlink_options()
{
	compared_literals 'strcmp\(arg, "-[^"]*"\)' "$src/vexlink/vexlink.c"
	# The usage text lists one option a line, indented.
	awk '/^ +-/ { print $1 }' <<<"$1"
}

# The words test gives a meaning: its table of unary and binary operators,
# and the words its grammar compares with.
test_words()
{
	sed -n '/operators\[\] = {/,/};/p' "$src/test/primary.c" | grep -oE '^\s*\{"[^"]+"' |
		grep -oE '"[^"]+"' | tr -d '"'
	compared_literals '(word_is|strcmp)\([^,]+, "[^"]+"\)' "$src/test/expr.c" "$src/test/primary.c"
}

ferrund_options()
{
	compared_literals 'strcmp\(argv\[i\], "-[^"]*"\)' "$src/launcher/ferrund/ferrund.c"
}

gallery_options()
{
	compared_literals 'contains\(QStringLiteral\("-[^"]*"\)\)' "$src/launcher/gallery/main.cpp"
}

# The long options of a getopt_long table and the letters of its option
# string.
getopt_options()
{
	local file=$1

	sed -n '/struct option long_options\[\] = {/,/};/p' "$file" |
		grep -oE '\{ *"[^"]+"' | sed -E 's/\{ *"/--/; s/"$//'
	grep -oE 'getopt_long\(argc, argv, "[^"]*"' "$file" |
		sed -E 's/.*"([^"]*)"$/\1/' | tr -d ':' | grep -o . | sed 's/^/-/'
}

# zarun hands its whole command line to the interpreter and compares no
# word itself; the switches its page names must be the interpreter's.
check_zarun()
{
	local page=$src/zarun/zarun.1 help switches switch own

	own=$(grep -cE '"-[^"]*"' "$src/zarun/zarun.c")
	[ "$own" -eq 0 ] || fail "zarun.c compares options itself; zarun.1 must name them"
	# The interpreter keeps some of its memory until the process ends.
	help=$(ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 "$zarun" --help) ||
		fail "$zarun --help failed"
	help=$(tr -s ' ,=[' '\n\n\n\n' <<<"$help")
	# The switches in the page's OPTIONS section.
	switches=$(plain_text "$page" | sed -n '/^OPTIONS/,/^[A-Z]/p' |
		grep -oE '(^|[[:space:]])--?[a-z][-a-z]*' | tr -d ' \t')
	echo "zarun: the page names" $switches
	for switch in $switches; do
		grep -qxF -- "$switch" <<<"$help" || fail "zarun.1 names $switch, which zarun --help does not list"
	done
}

mapfile -t pages < <(find_pages)
[ ${#pages[@]} -gt 0 ] || fail "no manual page found under $src"
for page in "${pages[@]}"; do
	check_renders_cleanly "$page"
done

usage=$("$vexlink" -h) || fail "$vexlink -h failed"
mapfile -t options < <(vexlink_options "$usage" | sort -u)
check_options "$src/vexlink/vexlink.1" vexlink "${options[@]}"
mapfile -t options < <(test_words | sort -u)
check_options "$src/test/test.1" test "${options[@]}"
mapfile -t options < <(ferrund_options | sort -u)
check_options "$src/launcher/ferrund/ferrund.1" ferrund "${options[@]}"
mapfile -t options < <(gallery_options | sort -u)
check_options "$src/launcher/gallery/vitrelcomponentgallery.1" vitrelcomponentgallery "${options[@]}"
check_zarun
# The installer's page is written separately and checked once it is there.
if [ -e "$src/install/install.1" ]; then
	mapfile -t options < <(getopt_options "$src/install/install.c" | sort -u)
	check_options "$src/install/install.1" install "${options[@]}"
fi

echo "${#pages[@]} pages checked, $failures failures"
[ "$failures" -eq 0 ]
