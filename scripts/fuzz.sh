#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A longer fuzzing campaign: builds the fuzz targets with libFuzzer, runs
# each one for MINUTES (default 10) over its seed corpus, and merges the
# inputs that reach new code back into the seed corpus. The targets and their
# corpora are read from the fuzz tests of the build, so a new target needs
# no change here. Crashes are kept under the build's fuzz-campaign/NAME/;
# the script then fails.
#
# Usage: scripts/fuzz.sh [MINUTES [TARGET...]]  (all targets when none named)
# Environment: QK_FUZZ_BUILD (build directory, default build-fuzz),
# QK_JOBS (build jobs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
shift $(($# > 0 ? 1 : 0))
only=" $* "
build=${QK_FUZZ_BUILD:-$root/build-fuzz}
jobs=${QK_JOBS:-$(nproc)}

if ! [[ $minutes =~ ^[1-9][0-9]*$ ]]; then
	echo "usage: $0 [MINUTES [TARGET...]]" >&2
	exit 2
fi

cmake -S "$root" -B "$build" -G Ninja -DQK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j "$jobs" --target fuzzers

# Targets that work on files are much faster on a memory file system.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then
	export TMPDIR=/dev/shm
fi

# One line per target: program, then its seed corpus directory (or none).
targets=$(ctest --test-dir "$build" -L fuzz --show-only=json-v1 | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    if test["name"].startswith("fuzz."):
        words = test["command"][3:]
        print(words[0], words[2] if len(words) > 2 else "")
')

status=0
summary=
while read -r program seeds; do
	name=$(basename "$program")
	if [[ $only != "  " && $only != *" $name "* ]]; then
		continue
	fi
	work=$build/fuzz-campaign/$name
	rm -rf "$work"
	mkdir -p "$work/found"
	echo "== $name: $minutes min"
	if ! "$program" -max_total_time=$((minutes * 60)) -timeout=10 -rss_limit_mb=2048 \
		-print_final_stats=1 -artifact_prefix="$work/" "$work/found" ${seeds:+"$seeds"} \
		>"$work/log" 2>&1; then
		echo "$name: failed, see $work/log and the crash input beside it" >&2
		status=1
	# Only inputs that reach new code join the seeds, not those that merely
	# run it more often.
	elif [[ -n $seeds ]] && ! "$program" -merge=1 -use_counters=0 "$seeds" "$work/found" \
		>"$work/merge.log" 2>&1; then
		echo "$name: merging into $seeds failed, see $work/merge.log" >&2
		status=1
	fi
	runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
	cov=$(grep -o 'cov: [0-9]*' "$work/log" | tail -n 1)
	summary+="$name: ${runs:-?} executions, ${cov:-cov: ?}"$'\n'
done <<<"$targets"

echo "== summary"
printf '%s' "$summary"
exit $status
