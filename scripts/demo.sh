#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The demo command: installs what is missing, builds, stages the system image
# into image/ and runs the tour over the staged image.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
image=${QK_IMAGE:-$root/image}

bash scripts/deps.sh
bash scripts/build.sh build
rm -rf "$image"
DESTDIR="$image" cmake --install build >/dev/null
echo "system image staged in $image"
bash tour/run.sh "$image"
