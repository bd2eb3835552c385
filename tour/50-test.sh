#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# test from the image: conditions given as words, answered by the exit
# status (0 true, 1 false, 2 not a condition) and, for errors, a message.
set -uo pipefail
program="$IMAGE/usr/bin/test"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'data\n' > file
: > empty
mkdir dir
ln -s file link
ln -s missing dangling
mkfifo fifo
touch -d '2026-01-01 00:00:00.000000001' new
touch -d '2026-01-01 00:00:00.000000000' old

# show WORD...: the command line, its status and what it wrote.
show()
{
	local shown="" w
	for w in "$@"; do
		case $w in
		"" | *[\ \	\']*) shown+=" '$w'" ;;
		*) shown+=" $w" ;;
		esac
	done
	local err status
	err=$( (exec -a test "$program" "$@") 2>&1)
	status=$?
	printf '$ test%s\n  -> %d%s\n' "$shown" "$status" "${err:+   $err}"
}

echo "(the program is $program, started under the name test; bash's own builtin is not used)"
echo "-- strings and the number of words"
show
show ""
show --help
show a = a
show a != a
show = = =
show ! ! a
show a -o b -a ""
show "(" a -a "" ")" -o b
echo "-- integers of any length, never machine numbers"
show 12345678901234567890 -gt 12345678901234567889
show -0 -eq 0
show " 42 " -eq +42
show -l abc -eq 3
show 4x -eq 4
echo "-- files"
show -f file
show -d file
show -s empty
show -h dangling
show -e dangling
show -p fifo
show file -ef link
show new -nt old
show old -nt new
show -l a -nt b
show -t 0
echo "-- syntax errors"
show -q foo
show foo bar
show a b c d
show "(" a b c d
show "(" "(" a ")" ")"
echo "-- in German, the image's catalog bound over /usr/share/locale in a private mount namespace"
# german WORD...: as show, in German.
german()
{
	local err status
	err=$(LC_ALL=de_DE.UTF-8 unshare --mount bash -c '
		mount --make-rprivate / &&
		mount --bind "$IMAGE/usr/share/locale" /usr/share/locale &&
		exec -a test "$0" "$@"' "$program" "$@" 2>&1)
	status=$?
	printf '$ LC_ALL=de_DE.UTF-8 test %s\n  -> %d   %s\n' "$*" "$status" "$err"
}
german foo bar
german 4x -eq 4
german "(" a b c d
