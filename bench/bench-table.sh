#!/usr/bin/env bash
# Runs every benchmark and prints one table; each figure stands next to a reference
# measured in the same run. Usage: bench/bench-table.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$build/bin/bench-decoder" >"$out/decoder" 2>/dev/null
"$build/bin/bench-latency" >"$out/latency" 2>/dev/null
"$build/bin/bench-cpu" >"$out/cpu" 2>/dev/null
"$build/bin/bench-startup" >"$out/startup" 2>/dev/null
"$build/bin/bench-memory" >"$out/memory" 2>/dev/null
"$build/bin/bench-recorder-memory" >"$out/recorder-memory" 2>/dev/null

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
recorder_frames=$(num 'bench-recorder-memory: ' "$out/recorder-memory")
recorder_tenth=$(num 'resident ' "$out/recorder-memory")
recorder_kib=$(num 'KiB after [0-9]+, ' "$out/recorder-memory")
recorder_ratio=$(awk -v a="$recorder_kib" -v b="$recorder_tenth" 'BEGIN { printf "%.2f", a / b }')
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
