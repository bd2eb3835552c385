#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The test command: installs what is missing, builds the system normally, with
# AddressSanitizer and UndefinedBehaviorSanitizer, for 32-bit x86 (the devices'
# own width) and with libFuzzer, and runs the whole suite in each build
# through CTest. The normal configuration is also built twice, and the two
# images must be identical.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${QK_JOBS:-$(nproc)}

bash scripts/deps.sh
# 32-bit programs run under emulation where the set-up had to register it.
if grep -qs enabled /proc/sys/fs/binfmt_misc/qk-i386; then
	echo "== 32-bit x86 programs run under user-mode emulation on this kernel"
fi

# Every mount a test makes lives in a private namespace; anything left in the
# machine's table afterwards is a fault of the suite.
mount_table()
{
	findmnt --raw --noheadings --output TARGET,SOURCE,FSTYPE | sort
}
mounts_before=$(mount_table)

status=0
started=$SECONDS
run_suite()
{
	local dir=$1
	shift
	echo "== tests in $dir"
	ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@" || status=1
	echo "== $dir built and tested in $((SECONDS - started)) s"
	started=$SECONDS
}

echo "== normal build"
bash scripts/build.sh build
run_suite build

echo "== reproducible build: the image built twice"
bash scripts/reproducible.sh || status=1
started=$SECONDS

echo "== sanitizer build"
bash scripts/build.sh build-asan -DQK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
	run_suite build-asan

echo "== 32-bit x86 build"
bash scripts/build.sh build-i386 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386-linux-gnu.cmake"
run_suite build-i386

echo "== fuzz build"
cmake -S . -B build-fuzz -G Ninja -DQK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzzers
run_suite build-fuzz -L fuzz

left=$(comm -13 <(echo "$mounts_before") <(mount_table))
if [ -n "$left" ]; then
	echo "== the suites left mounts behind:"
	echo "$left"
	status=1
fi

exit $status
