#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Start-up of test -f FILE against an empty dynamically linked program, both
# started 10,000 times in the same run (best of three rounds, alternating),
# and evaluation time for expressions of growing length.
# run.sh [BUILD-DIR]   (default: build/ of the source tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target test_program bench_test_empty bench_test_spawn >/dev/null

program=$build/test/bin/test
empty=$build/bench/test/bench_test_empty
spawn=$build/bench/test/bench_test_spawn
file=$(mktemp)
trap 'rm -f "$file"' EXIT
runs=10000

best()
{
	sort -g | head -n 1
}

startup()
{
	local label=$1
	local t_test=() t_empty=()
	for round in 1 2 3; do
		t_test+=("$("$spawn" $runs "$program" -f "$file")")
		t_empty+=("$("$spawn" $runs "$empty")")
	done
	local bt be
	bt=$(printf '%s\n' "${t_test[@]}" | best)
	be=$(printf '%s\n' "${t_empty[@]}" | best)
	awk -v t="$bt" -v e="$be" -v n=$runs -v l="$label" 'BEGIN {
		printf "%-22s test -f FILE: %.3f s (%.1f us/run)  empty: %.3f s (%.1f us/run)  ratio %.3f\n",
			l, t, t / n * 1e6, e, e / n * 1e6, t / e }'
}

echo "start-up, $runs runs each, best of 3:"
LC_ALL=C startup "LC_ALL=C"
LC_ALL=C.UTF-8 startup "LC_ALL=C.UTF-8"

# Conjunctions a -a a -a ... and groups nested as deep as the words allow.
echo "evaluation, mean of 20 runs:"
for words in 25000 50000 100000; do
	chain=(a)
	while (( ${#chain[@]} < words )); do
		chain+=(-a a)
	done
	depth=$(( (words - 3) / 2 ))
	nested=()
	for ((i = 0; i < depth; i++)); do nested+=("("); done
	nested+=(a -a b)
	for ((i = 0; i < depth; i++)); do nested+=(")"); done
	tc=$("$spawn" 20 "$program" "${chain[@]}")
	tn=$("$spawn" 20 "$program" "${nested[@]}")
	awk -v w=${#chain[@]} -v c="$tc" -v v=${#nested[@]} -v n="$tn" 'BEGIN {
		printf "  %6d words a -a a ...: %7.3f ms   %6d words nested groups: %7.3f ms\n",
			w, c / 20 * 1e3, v, n / 20 * 1e3 }'
done
