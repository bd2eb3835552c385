#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Rehashes generated certificate directories of 1,000 and 10,000 files and
# compares, in the same run, with the floor: opening each file, PEM-reading
# and hashing its certificates. Usage: run.sh [BUILD_DIR] [REPEATS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
repeats=${2:-9}
cmake --build "$build" --target vexlink vexlink_bench_gencerts vexlink_bench_floor >/dev/null
vexlink=$build/vexlink/vexlink
bench=$build/bench/vexlink
# tmpfs keeps the disk, shared with other work, out of the figures.
base=${VEXLINK_BENCH_DIR:-/dev/shm}
[ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/vexlink-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

now() { date +%s%N; }

# Milliseconds of one run; the directory is emptied of links first so that
# every run does the same work.
run_ms()
{
	local dir=$1 start end
	shift
	find "$dir" -name '*.[0-9]' -delete
	start=$(now)
	"$@" >/dev/null 2>&1
	end=$(now)
	echo $(( (end - start) / 1000000 ))
}

min() { [ -z "$1" ] || [ "$2" -lt "$1" ] && echo "$2" || echo "$1"; }

printf '%8s %10s %12s %18s %8s %10s\n' certs floor_ms vexlink_ms vexlink_certonly ratio us_per_cert
for count in 1000 10000; do
	dir=$work/certs-$count
	mkdir -p "$dir"
	"$bench/vexlink_bench_gencerts" "$dir" "$count"
	# Warm the page cache.
	cat "$dir"/*.pem >/dev/null
	# The three programs take turns, so that a change in the machine's load
	# hits them alike; the best of the repeats counts.
	floor= both= certs=
	for _ in $(seq "$repeats"); do
		floor=$(min "$floor" "$(run_ms "$dir" "$bench/vexlink_bench_floor" "$dir")")
		certs=$(min "$certs" "$(run_ms "$dir" "$vexlink" -certonly "$dir")")
		both=$(min "$both" "$(run_ms "$dir" "$vexlink" "$dir")")
	done
	links=$(find "$dir" -name '*.0' | wc -l)
	if [ "$links" -ne "$count" ]; then
		echo "run.sh: expected $count links, found $links" >&2
		exit 1
	fi
	ratio=$(awk -v a="$both" -v b="$floor" 'BEGIN { printf "%.2f", a / b }')
	ratio_certs=$(awk -v a="$certs" -v b="$floor" 'BEGIN { printf "%.2f", a / b }')
	per=$(awk -v a="$both" -v n="$count" 'BEGIN { printf "%.1f", a * 1000 / n }')
	printf '%8d %10d %12d %12d (%sx) %7sx %10s\n' "$count" "$floor" "$both" "$certs" \
		"$ratio_certs" "$ratio" "$per"
done
echo "ratio: vexlink (default mode, certificates and CRLs) over the floor"
