#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Tour stop: the component gallery started through ferrund and the QML
# booster, offscreen, from the staged image; and started directly, for
# comparison. Leaves the boosted gallery's screenshot as a PNG. The harness's
# probe, preloaded, tells from inside the gallery which objects it took.
set -uo pipefail

out=${LAUNCHER_TOUR_OUT:-${IMAGE%/}-tour}

if [ "${1-}" != --inside ]; then
	mkdir -p "$out"
	rm -f "$out"/launcher-*
	echo "In a private mount namespace, the staged files are put at the fixed paths"
	echo "(the launcher library /usr/lib/libferrund.so.0 is in place already):"
	echo "  /usr/lib/ferrund/boosters/libyombabooster.so,"
	echo "  /usr/share/yombabooster/preload.qml,"
	echo "  /usr/share/vitrelcomponentgallery/componentgallery.qml; /tmp is private."
	exec unshare --mount --propagation private bash "$0" --inside "$out"
fi
out=$2

# --- inside the namespace ----------------------------------------------------
# The image and the output may lie under /tmp, which is replaced: hold them
# open and put them back at their places in the new /tmp.
exec 7< "$IMAGE" 8< "$out" || exit 1
mount -t tmpfs tmpfs /tmp || exit 1
keep()
{
	case $1 in
	/tmp/*) mkdir -p "$1" && mount --no-canonicalize --bind "/proc/self/fd/$2" "$1" ;;
	esac
}
keep "$IMAGE" 7 && keep "$out" 8 || exit 1
exec 7<&- 8<&-
n=0
overlay()
{
	n=$((n + 1))
	mkdir -p /tmp/.layers/$n/upper /tmp/.layers/$n/work
	mount -t overlay overlay -o "lowerdir=$1,upperdir=/tmp/.layers/$n/upper,workdir=/tmp/.layers/$n/work" "$1"
}
place()
{
	mkdir -p "$(dirname "$2")" && : > "$2" && mount --bind "$1" "$2"
}
overlay /usr/lib && overlay /usr/share || exit 1
place "$IMAGE/usr/lib/ferrund/boosters/libyombabooster.so" /usr/lib/ferrund/boosters/libyombabooster.so &&
place "$IMAGE/usr/share/yombabooster/preload.qml" /usr/share/yombabooster/preload.qml &&
place "$IMAGE/usr/share/vitrelcomponentgallery/componentgallery.qml" \
	/usr/share/vitrelcomponentgallery/componentgallery.qml || exit 1

export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software DISPLAY=${DISPLAY-:0}
export XDG_RUNTIME_DIR=/tmp/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
probe=/usr/lib/quellkit-harness/liblaunchprobe.so

echo
echo "\$ ferrund --debug --ready-fd 3 &    (the daemon loads the booster plug-ins it finds"
echo "                                    and reports on descriptor 3 when one is ready)"
mkfifo /tmp/ready
LD_PRELOAD=$probe ferrund --debug --ready-fd 3 3> /tmp/ready 2> /tmp/daemon.log &
daemon=$!
exec 4< /tmp/ready
read -r -t 60 -u 4 report || report="(none within 60 s)"
echo "  ready report: $report"
sed 's/^/  daemon: /' /tmp/daemon.log

echo
echo "\$ ferrund-invoke -w vitrelcomponentgallery     (boosted, first frame grabbed)"
LAUNCHPROBE_TRACE=/tmp/boosted.trace LAUNCHPROBE_GRAB="$out/launcher-gallery-boosted.png" \
LAUNCHPROBE_EXIT_AFTER_FRAME=0 LAUNCHPROBE_PROPERTIES=_desktop \
	ferrund-invoke -w vitrelcomponentgallery
status=$?
echo "  exit status through the invoker: $status"
sed 's/^/  probe: /' /tmp/boosted.trace

echo
echo "\$ /tmp/dev/vitrelcomponentgallery -desktop     (started directly, as a window,"
echo "                                                with its QML file beside it)"
mkdir /tmp/dev
cp "$IMAGE/usr/bin/vitrelcomponentgallery" "$IMAGE/usr/share/vitrelcomponentgallery/componentgallery.qml" /tmp/dev/
LD_PRELOAD=$probe LAUNCHPROBE_TRACE=/tmp/direct.trace LAUNCHPROBE_GRAB="$out/launcher-gallery-desktop.png" \
LAUNCHPROBE_EXIT_AFTER_FRAME=0 LAUNCHPROBE_PROPERTIES=_desktop \
	/tmp/dev/vitrelcomponentgallery -desktop 2>&1 | sed 's/^/  gallery: /'
echo "  exit status: ${PIPESTATUS[0]}"
sed 's/^/  probe: /' /tmp/direct.trace

echo
echo "\$ ferrund-invoke -w vitrelcomponentgallery -desktop"
echo "  (boosted, desktop mode: there is no QML file beside the programs in /usr/bin)"
ferrund-invoke -w vitrelcomponentgallery -desktop
echo "  exit status through the invoker: $?"

kill -TERM "$daemon"
wait "$daemon"
echo
echo "daemon stopped with status $?; its log since the first launch:"
sed '1,/booster y ready/d; s/^/  daemon: /' /tmp/daemon.log

ok=0
[ "$status" = 0 ] && grep -q '^application new$' /tmp/direct.trace && grep -q '^application reused$' /tmp/boosted.trace &&
	grep -q '^view reused$' /tmp/boosted.trace && ok=1
echo
for png in "$out"/launcher-gallery-*.png; do
	[ -s "$png" ] && echo "screenshot: $png ($(file -b "$png" | cut -d, -f1-2))" || ok=0
done
[ $ok = 1 ] && echo "boosted start reused the warmed application and view" || { echo "FAILED"; exit 1; }
