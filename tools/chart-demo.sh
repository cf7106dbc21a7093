#!/bin/sh
# The chart fed by a simulated head, with limits that its swing crosses: on the display
# when there is one, else on a virtual X server, where a screenshot is saved once the
# chart has a few hundred readings.
# Usage: tools/chart-demo.sh BIN_DIR SCREENSHOT.png
set -u
bin=$1 shot=$2
fifo=$(mktemp -u)
mkfifo "$fifo"
"$bin/head-sim" >"$fifo" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$fifo"' EXIT
read -r port <"$fifo"
set -- -p "$port" --lower -150 --upper 150 --part "Demo shaft" --characteristic "Diameter"
if [ -n "${DISPLAY:-}" ]; then
  "$bin/head-readout-chart" "$@"
else
  echo "No display: starting the chart demo under Xvfb."
  "$(dirname "$0")/run-headless.sh" --settle 8 "$bin/head-readout-chart" "$shot" "$@"
fi
