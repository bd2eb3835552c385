#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Configures and builds one build tree: build.sh DIR [cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "${QK_JOBS:-$(nproc)}"
