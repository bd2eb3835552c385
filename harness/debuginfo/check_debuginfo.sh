#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# check_debuginfo.sh BUILD COMPONENT...
# Stages the components into an image and their "-dbg" components into a
# debug tree beside it. Every ELF file of the image must be stripped and carry
# a debug link; the debug tree must hold exactly one matching debug file for
# each, named by its build id; and the debugger, pointed at the debug tree,
# must find the source line of a function in a stripped program and library.
set -euo pipefail
build=$1
shift
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
image=$stage/image
debug=$stage/debug
debugdir=$debug/usr/lib/debug

for component in "$@"; do
	DESTDIR="$image" cmake --install "$build" --component "$component" >/dev/null
	DESTDIR="$debug" cmake --install "$build" --component "$component-dbg" >/dev/null
done

failures=0
fail()
{
	echo "FAIL: $*"
	failures=$((failures + 1))
}

is_elf()
{
	[ "$(head -c 4 "$1" | od -An -tx1 | tr -d ' \n')" = 7f454c46 ]
}

sections()
{
	readelf -S -W "$1" 2>/dev/null | sed -n 's/^ *\[ *[0-9]*\] \([^ ]*\).*/\1/p'
}

build_id()
{
	readelf -n "$1" 2>/dev/null | sed -n 's/^ *Build ID: \([0-9a-f]*\)$/\1/p'
}

: >"$stage/expected"
elves=0
while IFS= read -r -d '' file; do
	is_elf "$file" || continue
	elves=$((elves + 1))
	name=${file#"$image"}
	if sections "$file" | grep -qE '^(\.z?debug_|\.symtab$)'; then
		fail "$name is not stripped: $(sections "$file" | grep -E '^(\.z?debug_|\.symtab$)' | tr '\n' ' ')"
	fi
	id=$(build_id "$file")
	if [ -z "$id" ]; then
		fail "$name has no build id"
		continue
	fi
	debugfile=.build-id/${id:0:2}/${id:2}.debug
	echo "$debugfile" >>"$stage/expected"
	link=$(readelf --debug-dump=links "$file" 2>/dev/null |
		sed -n 's/^ *Separate debug info file: //p; s/^ *CRC value: //p' | tr '\n' ' ')
	if [ ! -f "$debugdir/$debugfile" ]; then
		fail "$name: no debug file $debugfile in the debug tree"
		continue
	fi
	crc=$(python3 -c 'import sys, zlib; print("%#x" % zlib.crc32(open(sys.argv[1], "rb").read()))' \
		"$debugdir/$debugfile")
	if [ "$link" != "${id:2}.debug $crc " ]; then
		fail "$name: debug link '$link', its debug file is '${id:2}.debug $crc'"
	fi
	if [ "$(build_id "$debugdir/$debugfile")" != "$id" ]; then
		fail "$name: $debugfile has another build id"
	fi
	if ! sections "$debugdir/$debugfile" | grep -qx '\.debug_line'; then
		fail "$name: $debugfile has no line table"
	fi
done < <(find "$image" -type f -print0)
[ "$elves" -gt 0 ] || fail "no ELF file in the image"

# Nothing else in the debug tree.
(cd "$debugdir" && find . -type f -printf '%P\n') | LC_ALL=C sort >"$stage/staged"
LC_ALL=C sort -o "$stage/expected" "$stage/expected"
if ! diff -u "$stage/expected" "$stage/staged"; then
	fail "the debug tree does not match the image's ELF files (- expected, + staged)"
fi

# FILE FUNCTION SOURCE: the debugger finds FUNCTION of the stripped FILE at a
# line of SOURCE.
while read -r file function source; do
	if [ ! -f "$image/$file" ]; then
		fail "$file is not in the image"
		continue
	fi
	out=$(gdb -batch -nx -iex "set debug-file-directory $debugdir" \
		-ex "info line $function" "$image/$file" 2>&1) || true
	if ! grep -qE "^Line [0-9]+ of \"([^\"]*/)?$source\"" <<<"$out"; then
		fail "gdb finds no line of $function in $source for $file: $out"
	fi
done <<'EOF_TABLE'
usr/bin/vexlink main vexlink/main.c
usr/lib/libplatik.so.1.0.0 getplatik platik/platik.c
usr/lib/libbriskovitrelbackground.so.1.0.0 BriskoVitrelBackground::darken background/briskovitrelbackground.cpp
EOF_TABLE

echo "$elves ELF files, $failures failures"
[ "$failures" -eq 0 ]
