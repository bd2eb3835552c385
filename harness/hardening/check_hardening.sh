#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# check_hardening.sh BUILD FORTIFY COMPONENT...
# Stages the deliverables' components and reads every ELF file of the image
# for the marks of the hardening flags: read-only relocations, immediate
# binding, position independence of programs, the stack protector and
# fortified calls. FORTIFY is "no" in builds that do not fortify
# (unoptimised or sanitized). Fails naming each file and missing mark.
set -euo pipefail
build=$1
fortify=$2
shift 2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

for component in "$@"; do
	DESTDIR="$stage" cmake --install "$build" --component "$component" >/dev/null
done

# Marks a file cannot show, and why. The stack protector guards only
# functions with arrays or addressable locals on the stack; a fortified call
# is left plain where the compiler proves the size fits.
exempt()
{
	case $1 in
	# The board name is read into the heap; no function has a local array.
	/usr/lib/libplatik.so.1.0.0) echo --nostackprotector ;;
	# Only scalars and pointers on the stack before it hands over.
	/usr/bin/ferrund) echo --nostackprotector ;;
	# read() into a local array of its size: proved when compiled.
	/usr/lib/mavrid/libostrel.so) echo --nofortify ;;
	# The only copy is the standard library's std::string constructor,
	# into memory of the length it has just measured.
	/usr/lib/ferrund/boosters/libyombabooster.so) echo --nofortify ;;
	esac
}

checked=0
failed=0
while IFS= read -r -d '' file; do
	[ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
	checked=$((checked + 1))
	skip=(--nocfprotection $(exempt "/${file#"$stage"/}"))
	[ "$fortify" = yes ] || skip+=(--nofortify)
	if ! hardening-check --quiet "${skip[@]}" "$file" >"$stage/report" 2>&1; then
		sed "s|$stage||" "$stage/report"
		failed=$((failed + 1))
	fi
done < <(find "$stage" -type f -print0)

if [ $checked = 0 ]; then
	echo "no ELF file in the staged image"
	exit 1
fi
echo "$checked ELF files checked, $failed without every mark"
[ $failed = 0 ]
