#!/usr/bin/env bash
# Runs every benchmark and prints one table; each figure stands next to a reference
# measured in the same run. Usage: bench/bench-table.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Each benchmark's output in a file of its own; what it said on the way shown if it fails.
bench() {
  local name=$1
  shift
  if ! "$@" >"$out/$name" 2>"$out/$name.err"; then
    echo "bench-table: $name failed:" >&2
    cat "$out/$name.err" >&2
    exit 1
  fi
}
bench decoder "$build/bin/bench-decoder"
bench latency "$build/bin/bench-latency"
bench cpu "$build/bin/bench-cpu"
bench startup "$build/bin/bench-startup"
bench memory "$build/bin/bench-memory"
bench recorder-memory "$build/bin/bench-program-memory" "$build/bin/head-readout-log" 1000000 --quiet
bench backlog "$build/bin/bench-backlog"
bench chart-memory "$build/bin/bench-program-memory" "$build/bin/head-readout-chart" 1000000 \
  --lower=-150 --upper=150

# A day's table and more, a million records as the recorder writes them, summed up by the
# chart and by a plain Python script; each the best of three runs.
table="$out/million.csv"
python3 - "$table" <<'PY'
import sys
with open(sys.argv[1], "w", encoding="utf-8", newline="") as table:
    table.write("time,serial,reading_um,held\n")
    for i in range(1000000):
        reading = "over" if i % 5000 == 2500 else "under" if i % 5000 == 4999 else \
            f"{(i % 3001 - 1500) / 10:.1f}"
        second, ms = divmod(i * 17, 1000)
        minute, second = divmod(second, 60)
        hour, minute = divmod(minute, 60)
        table.write(f"2026-12-10T{hour:02}:{minute:02}:{second:02}.{ms:03}+01:00,000123,"
                    f"{reading},{int(i % 40 == 39)}\n")
PY
best_of_three() {
  local best=
  for _ in 1 2 3; do
    local start end took
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
    best=$(awk -v a="$took" -v b="${best:-$took}" 'BEGIN { print (a < b ? a : b) }')
  done
  echo "$best"
}
summary_chart=$(best_of_three "$build/bin/head-readout-chart" --from "$table" --lower=-150 \
  --upper=150 --summary)
summary_python=$(best_of_three python3 "$(dirname "$0")/summary_reference.py" "$table")

# The first number that follows the given text in a benchmark's output.
num() { grep -oP "$1\\K[0-9]+(\\.[0-9]+)?" "$2" | head -n1; }

cpu_seconds=$(num 'bench-cpu: ' "$out/cpu")
cpu_readout=$(num 'readout: ' "$out/cpu")
cpu_cat=$(num 'cat *: ' "$out/cpu")
cpu_ratio=$(num 'ratio readout/cat: ' "$out/cpu")
cpu_recorder=$(num 'recorder: ' "$out/cpu")
cpu_recorder_ratio=$(num 'ratio recorder/readout: ' "$out/cpu")
p50=$(num 'p50 ' "$out/latency")
p99=$(num 'p99 ' "$out/latency")
start_readout=$(num '  readout ' "$out/startup")
start_bare=$(num 'bare QWidget ' "$out/startup")
start_ratio=$(num ', ratio ' "$out/startup")
bare_kib=$(num 'resident once shown: readout [0-9]+ KiB, bare QWidget ' "$out/startup")
third=$(num 'after ' "$out/startup")
dec_rate=$(num 's: ' "$out/decoder")
dec_ratio=$(num 'bench-decoder: (?=[0-9]+x)' "$out/decoder")
memory_frames=$(num 'bench-memory: ' "$out/memory")
memory_kib=$(num 'KiB after [0-9]+, ' "$out/memory")
memory_ratio=$(awk -v a="$memory_kib" -v b="$bare_kib" 'BEGIN { printf "%.2f", a / b }')
recorder_frames=$(num 'head-readout-log, ' "$out/recorder-memory")
recorder_tenth=$(num 'resident ' "$out/recorder-memory")
recorder_kib=$(num 'KiB after [0-9]+, ' "$out/recorder-memory")
recorder_ratio=$(awk -v a="$recorder_kib" -v b="$recorder_tenth" 'BEGIN { printf "%.2f", a / b }')
cpu_chart=$(num 'chart  : ' "$out/cpu")
cpu_chart_ratio=$(num 'ratio chart/readout: ' "$out/cpu")
cpu_mqtt=$(num 'recorder with --mqtt: ' "$out/cpu")
cpu_mqtt_ratio=$(num 'ratio mqtt/recorder: ' "$out/cpu")
backlog_rate=$(num ', ' "$out/backlog")
backlog_seconds=$(num 'acknowledged in ' "$out/backlog")
chart_frames=$(num 'head-readout-chart, ' "$out/chart-memory")
chart_tenth=$(num 'resident ' "$out/chart-memory")
chart_kib=$(num 'KiB after [0-9]+, ' "$out/chart-memory")
chart_growth=$((chart_kib - chart_tenth))
summary_ratio=$(awk -v a="$summary_chart" -v b="$summary_python" 'BEGIN { printf "%.2f", a / b }')
third_ratio=$(awk -v a="$third" 'BEGIN { printf "%.2f", a / 2.0 }')

echo "Benchmarks, $(date -u +%Y-%m-%d), $(nproc) cores, $(uname -m), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
echo
echo "| figure | measured | reference (same run) | ratio |"
echo "|---|---|---|---|"
echo "| CPU time, ${cpu_seconds} s of frames at line rate | ${cpu_readout} ms | cat on the same paced stream: ${cpu_cat} ms | ${cpu_ratio} |"
echo "| frame to label latency p50 / p99 | ${p50} / ${p99} ms | one frame at line rate: 16.7 ms | $(awk -v a="$p99" 'BEGIN { printf "%.3f", a / 16.7 }') (p99) |"
echo "| start to window painted | ${start_readout} ms | bare QWidget program: ${start_bare} ms | ${start_ratio} |"
echo "| head on the third port, first reading | ${third} s | two probes of 1 s each: 2.0 s | ${third_ratio} |"
echo "| decoder throughput | ${dec_rate} bytes/s | line rate: 960 bytes/s | ${dec_ratio} |"
echo "| resident memory after ${memory_frames} frames | ${memory_kib} KiB | bare QWidget program: ${bare_kib} KiB | ${memory_ratio} |"
echo "| recorder: CPU time, ${cpu_seconds} s of frames at line rate | ${cpu_recorder} ms | the window in the same run: ${cpu_readout} ms | ${cpu_recorder_ratio} |"
echo "| recorder: resident memory after ${recorder_frames} frames | ${recorder_kib} KiB | after a tenth of them: ${recorder_tenth} KiB | ${recorder_ratio} |"
echo "| recorder with --mqtt: CPU time, ${cpu_seconds} s of frames at line rate | ${cpu_mqtt} ms | the plain recorder in the same run: ${cpu_recorder} ms | ${cpu_mqtt_ratio} |"
echo "| backlog of 100000 records sent to a loopback broker | ${backlog_seconds} s, ${backlog_rate} records/s | goal: 20000 records/s | $(awk -v a="$backlog_rate" 'BEGIN { printf "%.1f", a / 20000 }') |"
echo "| chart: CPU time, ${cpu_seconds} s of frames at line rate | ${cpu_chart} ms | the window in the same run: ${cpu_readout} ms | ${cpu_chart_ratio} |"
echo "| chart: resident memory after ${chart_frames} frames | ${chart_kib} KiB | after a tenth of them: ${chart_tenth} KiB | +${chart_growth} KiB |"
echo "| chart: --summary of a 1000000-record table | ${summary_chart} s | Python csv and running variance: ${summary_python} s | ${summary_ratio} |"
