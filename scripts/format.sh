#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Lays out every C and C++ file of the tree with the clang-format profile of
# its layer and language. With --check it changes nothing, names the files
# that differ and fails if there are any.
#
# A header takes the nearest .clang-format above it. A .c or .cpp file takes
# its language's profile even where the directory's own is the other one, as
# in the tests' directories, which hold C probes next to C++ tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
clang_format=${CLANG_FORMAT:-clang-format}

check=0
case ${1-} in
--check) check=1 ;;
'') ;;
*)
	echo "usage: $0 [--check]" >&2
	exit 2
	;;
esac

profile_of()
{
	case $1 in
	kernel/trellow/*.c | platform/linux/*.c) profile=file:$root/.clang-format-kernel ;;
	*.c) profile=file:$root/.clang-format ;;
	*.cpp) profile=file:$root/.clang-format-cpp ;;
	*) profile=file ;;
	esac
}

# Tracked files only, in git's order, so that every run sees the same list.
declare -A groups
while IFS= read -r -d '' f; do
	[[ -f $f ]] || continue
	profile_of "$f"
	groups[$profile]+="$f"$'\n'
done < <(git ls-files -z -- '*.c' '*.h' '*.cpp' '*.hpp')

status=0
differ=
for p in "${!groups[@]}"; do
	mapfile -t files <<<"${groups[$p]%$'\n'}"
	if ((!check)); then
		"$clang_format" -i --style="$p" "${files[@]}"
	elif ! out=$("$clang_format" --dry-run --Werror --style="$p" "${files[@]}" 2>&1); then
		status=1
		# Each violation starts a line with "FILE:LINE:COL: error:"; anything
		# else (a broken profile, a missing file) is shown as it came.
		names=$(grep -o '^[^:]*:[0-9]*:[0-9]*: error' <<<"$out" | cut -d: -f1) ||
			printf 'clang-format failed with %s:\n%s\n' "$p" "$out" >&2
		differ+=$names$'\n'
	fi
done
sort -u <<<"$differ" | sed '/^$/d; s/$/: not laid out with its profile/' >&2
exit $status
