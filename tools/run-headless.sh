#!/bin/sh
# Runs a program of this build on a virtual X server at 96 dpi, saves a screenshot of
# its window once the window shows, then waits for the program to end and exits with
# its status. Says "saved" only for a screenshot that shows the window.
# Usage: tools/run-headless.sh [--settle SECONDS] BIN_DIR/PROGRAM SCREENSHOT.png [ARGS...]
# (its helpers are beside the program). With --settle, the window is shown that long
# before the grab, then the program is stopped: for a program that does not end by itself.
set -u
settle=
if [ "$1" = --settle ]; then
  settle=$2
  shift 2
fi
path=$1 shot=$2
shift 2
bin=$(dirname "$path") program=$(basename "$path")
if [ -z "${HEADLESS_DISPLAY_READY:-}" ]; then
  HEADLESS_DISPLAY_READY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
    "$0" ${settle:+--settle "$settle"} "$path" "$shot" "$@"
fi

"$path" "$@" &
pid=$!
rm -f "$shot"
# Qt names a top-level window's class after the program; the window may be mapped some
# time before it is painted, so the grab is repeated until it shows something.
saved=
tries=0
while [ $tries -lt 100 ] && kill -0 $pid 2>/dev/null; do
  tries=$((tries + 1))
  sleep 0.1
  id=$(xwininfo -root -tree 2>/dev/null |
    awk -v class="(\"$program\" \"$program\")" 'index($0, class) { print $1; exit }')
  [ -n "$id" ] || continue
  if [ -n "$settle" ]; then
    sleep "$settle"
    settle=stop
  fi
  info=$(xwininfo -id "$id" 2>/dev/null) || continue
  echo "$info" | grep -q 'Map State: IsViewable' || continue
  width=$(echo "$info" | awk '/^ *Width:/ { print $2 }')
  height=$(echo "$info" | awk '/^ *Height:/ { print $2 }')
  if "$bin/screen-grab" --window "$id" "$shot" &&
    "$bin/png-check" "$shot" "$width" "$height" >/dev/null 2>&1; then
    saved=yes
    break
  fi
done

if [ -n "$saved" ]; then
  echo "Screenshot of the window (${width}x${height}) saved to $shot"
  if [ "$settle" = stop ]; then
    kill $pid
    wait $pid 2>/dev/null
    exit 0
  fi
elif kill -0 $pid 2>/dev/null; then
  echo "$program: its window did not show on the virtual display within 10 s" >&2
  [ -f "$shot" ] && "$bin/png-check" "$shot" "$width" "$height"
  rm -f "$shot"
  kill $pid
  wait $pid
  exit 1
else
  wait $pid
  status=$?
  echo "$program ended with status $status before its window could be saved" >&2
  rm -f "$shot"
  exit 1
fi
wait $pid
