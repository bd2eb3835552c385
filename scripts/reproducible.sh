#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# reproducible.sh [cmake options...]
# Builds the last commit twice, in two trees of different paths and at
# different times, stages the deliverables' components of each into an image
# and compares the two images file by file: type, mode, link target and
# content. Names the first difference and fails on it; the trees are kept
# then for a closer look.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${QK_JOBS:-$(nproc)}
commit=$(git -C "$root" rev-parse HEAD)
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct "$commit")}
export SOURCE_DATE_EPOCH
# A compiler cache could hand the second build the first one's objects.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
started=$SECONDS

work=$(mktemp -d)
keep=0
trap '[ $keep = 1 ] || rm -rf "$work"' EXIT

# build_image TREE TIMEZONE [cmake options...]: the tree's source, build
# and image directories are TREE/src, TREE/build and TREE/image.
build_image()
{
	local tree=$1 zone=$2
	shift 2
	mkdir -p "$tree/src"
	# Files get the time of extraction, not of the commit.
	git -C "$root" archive "$commit" | tar -x -m -C "$tree/src"
	TZ=$zone cmake -S "$tree/src" -B "$tree/build" -G Ninja -DBUILD_TESTING=OFF \
		-DCMAKE_C_COMPILER_LAUNCHER= -DCMAKE_CXX_COMPILER_LAUNCHER= "$@" >/dev/null
	TZ=$zone cmake --build "$tree/build" -j "$jobs" >/dev/null
	local component
	while read -r component; do
		DESTDIR="$tree/image" cmake --install "$tree/build" --component "$component" >/dev/null
	done <"$tree/build/deliverables"
}

# One line per file of an image: path, type, mode and link target.
listing()
{
	(cd "$1" && find . -printf '%P\t%y\t%m\t%l\n' | LC_ALL=C sort)
}

first="$work/first"
second="$work/second/a/longer/path"
build_image "$first" UTC "$@"
build_image "$second" Pacific/Kiritimati "$@"

difference=$(diff <(listing "$first/image") <(listing "$second/image") | grep -m1 '^[<>]' || true)
if [ -z "$difference" ]; then
	while IFS= read -r -d '' file; do
		if ! cmp -s "$first/image/$file" "$second/image/$file"; then
			difference="$file: $(cmp "$first/image/$file" "$second/image/$file" 2>&1 | sed 's/^.*differ: //' || true)"
			break
		fi
	done < <(cd "$first/image" && find . -type f -printf '%P\0' | LC_ALL=C sort -z)
fi

if [ -n "$difference" ]; then
	keep=1
	echo "reproducible: the images differ; first difference: $difference"
	echo "reproducible: images kept in $first/image and $second/image"
	exit 1
fi
echo "reproducible: $(find "$first/image" ! -type d | wc -l) files identical in both images ($((SECONDS - started)) s)"
