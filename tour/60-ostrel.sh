#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# libostrel from the image: the sensor daemon's host program (in place from
# the outside parts) loads the plug-in from the image's /usr/lib/mavrid, creates the accelerometer adaptor over a simulated chip
# (plain files standing in for its sysfs files) and prints the samples it
# drains: time stamp (microseconds), x, y, z.
set -uo pipefail
host=/usr/bin/mavrid
plugins="$IMAGE/usr/lib/mavrid"
export LD_LIBRARY_PATH="$plugins${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
chip=$(mktemp -d)
trap 'rm -rf "$chip"' EXIT
: > "$chip/range"
: > "$chip/mode"
cat > "$chip/mavrid.conf" <<CONF
[accelerometer]
range_path=$chip/range
range_mode=2
mode_path=$chip/mode

[accelerometeradaptor]
data_path=$chip/data
CONF

echo "plug-in exports:"
nm -D --defined-only "$plugins/libostrel.so" | sed 's/^/  /'
echo "plug-in run-time search path: $(readelf -d "$plugins/libostrel.so" | sed -n 's/.*runpath: \[\(.*\)\]/\1/p')"
echo "configuration:"
sed 's/^/  /' "$chip/mavrid.conf"

status=0
for raw in "1000:-1000:0:12345" "102:1020:-1020" "1:2:3" "not a sample"; do
	printf '%s\n' "$raw" > "$chip/data"
	echo
	echo "chip data file holds \"$raw\"; mavrid --samples 3 --interval 50:"
	if ! "$host" --config "$chip/mavrid.conf" --plugin-dir "$plugins" --samples 3 --interval 50 | sed 's/^/  /'; then
		status=1
	fi
	echo "  range file: \"$(cat "$chip/range")\", mode file after the run: \"$(cat "$chip/mode")\""
done

echo
echo "with the log at level 1 (registration and the reader joining):"
printf '0:0:0\n' > "$chip/data"
"$host" --config "$chip/mavrid.conf" --plugin-dir "$plugins" --samples 1 --log-level 1 2>&1 | sed 's/^/  /'

echo
echo "a data file that cannot be read (a directory) stops the sensor:"
sed -i "s|^data_path=.*|data_path=$chip|" "$chip/mavrid.conf"
echo 2 > "$chip/mode"
"$host" --config "$chip/mavrid.conf" --plugin-dir "$plugins" --samples 3 2>&1 | sed 's/^/  /'
echo "  status ${PIPESTATUS[0]}, mode file: \"$(cat "$chip/mode")\""
exit $status
