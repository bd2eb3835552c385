#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The demo command: installs what is missing, builds, stages the system image
# into image/ and runs the tour over the staged image. With QK_ARCH=i386 it
# builds and stages the 32-bit x86 image (image-i386/) instead.
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
rm -rf "$image"
DESTDIR="$image" cmake --install "$build" >/dev/null
echo "system image staged in $image"
bash tour/run.sh "$image"
