#!/bin/sh
# Checks what a new user tries first: headless `make run` and `make demo` must exit
# with status 0 and save a screenshot that shows the 400x300 window; `make demo-chart`
# one that shows the chart's window at the size it said. Each runs in a
# private mount namespace where the machine lists no serial port (the only one is
# often the system console) and port lock files go to a private /run/lock, so the
# program finds no port, shows its window and closes after its pause.
# Usage, as root or where user namespaces are allowed:
#   tools/check-headless.sh run|demo|demo-chart [MAKE VARIABLES...]
set -u
target=$1
shift
cd "$(dirname "$0")/.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT

[ "$(id -u)" = 0 ] && ns=-m || ns=-Urm
unshare $ns sh -c '
  set -e
  mount -t tmpfs none /sys/class/tty
  mount -t tmpfs none /run/lock
  for port in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do
    [ -e "$port" ] && mount --bind /dev/null "$port"
  done
  unset DISPLAY WAYLAND_DISPLAY
  exec make "$@"' sh "$target" "$@" >"$log" 2>&1
status=$?
cat "$log"
if [ $status -ne 0 ]; then
  echo "check-headless: make $target exited with status $status" >&2
  exit 1
fi
shot=$(sed -n 's/^Screenshot.* saved to \(.*\.png\)$/\1/p' "$log" | tail -n 1)
if [ -z "$shot" ]; then
  echo "check-headless: make $target did not say where it saved a screenshot" >&2
  exit 1
fi
case $target in
run | demo) size="400 300" ;;
*) size=$(sed -n 's/^Screenshot of the window (\([0-9]*\)x\([0-9]*\)) saved to .*/\1 \2/p' "$log" | tail -n 1) ;;
esac
bin=$(dirname "$shot")/bin
# shellcheck disable=SC2086 # the width and the height
"$bin/png-check" "$shot" $size || exit 1
echo "check-headless: make $target: status 0, $shot shows the window"
