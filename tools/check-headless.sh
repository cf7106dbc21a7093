#!/bin/sh
# Checks what a new user tries first: headless `make run` and `make demo` must exit
# with status 0 and save a screenshot that shows the 400x300 window. Each runs in a
# private mount namespace where the machine lists no serial port (the only one is
# often the system console) and port lock files go to a private /run/lock, so the
# program finds no port, shows its window and closes after its pause.
# Usage, as root or where user namespaces are allowed:
#   tools/check-headless.sh run|demo [MAKE VARIABLES...]
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
bin=$(dirname "$shot")/bin
"$bin/png-check" "$shot" 400 300 || exit 1
echo "check-headless: make $target: status 0, $shot shows the window"
