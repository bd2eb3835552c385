#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs inside the private mount namespace of the boosted-launch test:
# boosted_launch.sh FERRUND INVOKER PLUGIN GALLERY OUTDIR
# Starts the daemon with the booster, launches the gallery through the
# invoker twice and stops the daemon, printing what came back.
set -u
ferrund=$1 invoke=$2 plugin=$3 gallery=$4 out=$5

wait_ready()
{
	for _ in $(seq 300); do
		[ "$(grep -c 'booster y ready' "$out/daemon.log")" -ge "$1" ] && return 0
		sleep 0.1
	done
	echo "booster not ready"
	return 1
}

DISPLAY=${DISPLAY-:0} "$ferrund" --debug --booster "$plugin" 2> "$out/daemon.log" &
daemon=$!
wait_ready 1 || exit 1

ZDECLARATIVECACHE_TRACE=$out/trace1 ZDECLARATIVECACHE_GRAB=$out/boosted.png \
ZDECLARATIVECACHE_EXIT_AFTER_FRAME=5 ZDECLARATIVECACHE_TRACE_PROPERTIES=_desktop \
	"$invoke" -w "$gallery"
echo "first=$?"

# The daemon replaces the booster that turned into the gallery.
wait_ready 2 || exit 1
# In desktop mode the QML file is looked for beside the running program,
# which is the daemon's: there is none, so the gallery fails.
ZDECLARATIVECACHE_TRACE=$out/trace2 "$invoke" -w "$gallery" -desktop
echo "second=$?"

# Stop it with a warmed booster waiting, the state it is normally stopped in.
wait_ready 3 || exit 1
kill -TERM "$daemon"
wait "$daemon"
echo "daemon=$?"
[ -e /tmp/boosty ] && echo "socket=left" || echo "socket=removed"
