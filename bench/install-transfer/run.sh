#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Copies a 1 GiB file with data and a 1 GiB file that is one hole through
# transfer_regular and through the floor, alternating, several rounds, and
# prints the median CPU times, their ratio, the peak RSS and the blocks of
# the sparse copy. BUILD (default build) is the build tree; BENCH_DIR (a
# tmpfs by default, so that both files live in the page cache) holds the
# files; ROUNDS (default 5).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build}
rounds=${ROUNDS:-5}
cmake --build "$build" --target transfer_bench transfer_floor >/dev/null
bench=$build/bench/install-transfer/transfer_bench
floor=$build/bench/install-transfer/transfer_floor

dir=$(mktemp -d "${BENCH_DIR:-/dev/shm}/install-transfer.XXXXXX")
trap 'rm -rf "$dir"' EXIT
head -c 1073741824 <(yes 'install transfer benchmark data') >"$dir/data"
truncate -s 1G "$dir/sparse"
cat "$dir/data" >/dev/null

field() { awk -v k="$1" '{ for (i = 1; i < NF; i++) if ($i == k) print $(i + 1) }'; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for kind in data sparse; do
	: >"$dir/bench.cpu"
	: >"$dir/floor.cpu"
	mode=data
	[ $kind = sparse ] && mode=holes
	for _ in $(seq "$rounds"); do
		out=$("$bench" "$dir/$kind" "$dir/copy")
		echo "$out" | field cpu >>"$dir/bench.cpu"
		rss_bench=$(echo "$out" | field maxrss_kb)
		chunk=$(echo "$out" | field chunk)
		mallocs=$(echo "$out" | field mallocs)
		malloc_bytes=$(echo "$out" | field malloc_bytes)
		blocks=$(stat -c %b "$dir/copy")
		size=$(stat -c %s "$dir/copy")
		cmp -s "$dir/$kind" "$dir/copy" || { echo "copy of $kind differs" >&2; exit 1; }
		rm -f "$dir/copy"

		out=$("$floor" "$dir/$kind" "$dir/copy" "$chunk" $mode)
		echo "$out" | field cpu >>"$dir/floor.cpu"
		rss_floor=$(echo "$out" | field maxrss_kb)
		rm -f "$dir/copy"
	done
	b=$(median <"$dir/bench.cpu")
	f=$(median <"$dir/floor.cpu")
	echo "$kind: chunk $chunk bytes; transfer_regular cpu ${b}s, floor cpu ${f}s," \
		"ratio $(awk -v b="$b" -v f="$f" 'BEGIN { printf "%.3f", (f > 0 ? b / f : 0) }')"
	echo "$kind: peak RSS transfer_regular ${rss_bench} KiB, floor ${rss_floor} KiB;" \
		"copy size $size, blocks $blocks"
	echo "$kind: the copy allocated $malloc_bytes bytes in $mallocs blocks"
	echo "$kind: all cpu samples: transfer_regular $(tr '\n' ' ' <"$dir/bench.cpu")| floor $(tr '\n' ' ' <"$dir/floor.cpu")"
done
