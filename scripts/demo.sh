#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The demo command: installs what is missing, builds, stages the system image
# into image/ (the deliverables alone, what a device gets, stripped), their
# debug files into image-debug/ and the platform and harness parts into
# image-outside/, and runs the tour over them. With
# QK_ARCH=i386 it builds and stages the 32-bit x86 image (image-i386/)
# instead.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
case ${QK_ARCH:-native} in
native)
	build=build
	image=${QK_IMAGE:-$root/image}
	options=()
	;;
i386)
	build=build-i386
	image=${QK_IMAGE:-$root/image-i386}
	options=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386-linux-gnu.cmake")
	;;
*)
	echo "demo: unknown QK_ARCH ${QK_ARCH}" >&2
	exit 2
	;;
esac

bash scripts/deps.sh
bash scripts/build.sh "$build" "${options[@]}"
outside=${QK_OUTSIDE:-$image-outside}
debug=$image-debug
rm -rf "$image" "$debug" "$outside"
while read -r component; do
	DESTDIR="$image" cmake --install "$build" --component "$component" >/dev/null
	DESTDIR="$debug" cmake --install "$build" --component "$component-dbg" >/dev/null
done < "$build/deliverables"
for component in platform harness; do
	DESTDIR="$outside" cmake --install "$build" --component "$component" >/dev/null
done
echo "system image staged in $image, its debug files in $debug, the outside parts in $outside"
bash tour/run.sh "$image" "$outside"
