#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Time from the launch request to the gallery's first frame, offscreen:
# boosted through ferrund and the QML booster, and started directly, in the
# same run. Needs root (a private mount namespace puts the launcher's fixed
# paths in place).
#   bench/launcher/run.sh [BUILDDIR] [ROUNDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
rounds=${2:-15}
if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
	cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build" --target launch_bench inplace ferrund ferrund-daemon ferrund-invoke \
	yombabooster vitrelcomponentgallery launchprobe >/dev/null
# Outside /tmp, which the namespace replaces.
work=$(mktemp -d "$build/launch-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software DISPLAY=${DISPLAY-:0}
export XDG_RUNTIME_DIR=$work/runtime
"$build/harness/inplace/inplace" \
	-b "$build/platform/ferrund/libferrund.so.0" /usr/lib/libferrund.so.0 \
	-b "$root/launcher/yombabooster/preload.qml" /usr/share/yombabooster/preload.qml \
	-b "$root/launcher/gallery/componentgallery.qml" /usr/share/vitrelcomponentgallery/componentgallery.qml \
	-- "$build/bench/launcher/launch_bench" "$build/launcher/ferrund/ferrund" \
	"$build/launcher/yombabooster/libyombabooster.so" "$build/harness/invoker/ferrund-invoke" \
	"$build/launcher/gallery/vitrelcomponentgallery" "$build/harness/launchprobe/liblaunchprobe.so" \
	"$work" "$rounds"
