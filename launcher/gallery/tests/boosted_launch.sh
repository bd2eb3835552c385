#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs inside the private mount namespace of the boosted-launch test:
# boosted_launch.sh FERRUND INVOKER PLUGIN GALLERY PROBE OUTDIR
# Starts the daemon with the booster and the probe preloaded, launches the
# gallery through the invoker twice and stops the daemon, printing what came
# back.
set -u
ferrund=$1 invoke=$2 plugin=$3 gallery=$4 probe=$5 out=$6

# The daemon reports each booster that is ready on descriptor 3, a pipe that
# this script reads.
mkfifo "$out/ready"
DISPLAY=${DISPLAY-:0} LD_PRELOAD=$probe "$ferrund" --debug --ready-fd 3 --booster "$plugin" \
	3> "$out/ready" 2> "$out/daemon.log" &
daemon=$!
exec 4< "$out/ready"

# Waits up to 30 s for the next report, which must be a ready booster.
ready()
{
	read -r -t 30 -u 4 report && [ "${report%% *}" = ready ] || { echo "booster not ready"; exit 1; }
}

ready
LAUNCHPROBE_TRACE=$out/trace1 LAUNCHPROBE_GRAB=$out/boosted.png \
LAUNCHPROBE_EXIT_AFTER_FRAME=5 LAUNCHPROBE_PROPERTIES=_desktop \
	"$invoke" -w "$gallery"
echo "first=$?"

# The daemon replaces the booster that turned into the gallery.
ready
# In desktop mode the QML file is looked for beside the running program,
# which is the daemon's: there is none, so the gallery fails.
LAUNCHPROBE_TRACE=$out/trace2 "$invoke" -w "$gallery" -desktop
echo "second=$?"

# Stop it with a warmed booster waiting, the state it is normally stopped in.
ready
kill -TERM "$daemon"
wait "$daemon"
echo "daemon=$?"
[ -e /tmp/boosty ] && echo "socket=left" || echo "socket=removed"
