#!/bin/bash
# Builds with the benchmarks and runs the engine and looping figures, repeated, with a
# control loop measured in the same run to show how noisy the machine is. Prints one table:
# figure, median, spread (min .. max over the repeats), aim, ratio of the median to the aim.
#
#   scripts/bench.sh [repeats]        default 5
set -euo pipefail
cd "$(dirname "$0")/.."
REPEATS=${1:-5}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD/..}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVESKO_BENCH=ON >/dev/null
cmake --build build-bench -j2 --target vesko_bench_engine vesko_bench_looping >/dev/null
B=build-bench/bench
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT

# Control: a fixed arithmetic loop, timed; its spread is the machine's own noise.
control() {
  python3 - <<'EOF'
import time
t = time.process_time()
x = 0
for i in range(2000000):
    x += i * i
print("%.3f" % ((time.process_time() - t) * 1000))
EOF
}

for r in $(seq "$REPEATS"); do
  control >>"$OUT/control"
  for p in 64 128 256; do
    "$B/vesko_bench_engine" --period=$p --benchmark_repetitions=5 2>/dev/null |
      sed -n 's/.*median \([0-9.]*\)%.*/\1/p' >>"$OUT/engine_$p"
  done
  "$B/vesko_bench_looping" period 20000 2>/dev/null |
    sed -n 's/^period, 8 playing + 1 recording + metronome, CPU: share.*median \([0-9.]*\)%.*/\1/p' >>"$OUT/looping"
  "$B/vesko_bench_looping" save 80 30 50 2>/dev/null |
    sed -n 's/^save, CPU: share.*max \([0-9.]*\)%.*/\1/p' >>"$OUT/save_worst"
done
# One long recording (30 minutes of audio at 50x real time) and its control run.
"$B/vesko_bench_looping" record 30 50 2>/dev/null |
  sed -n 's/^recording, CPU: share.*max \([0-9.]*\)%.*/\1/p' >>"$OUT/record_worst" || true
"$B/vesko_bench_looping" control 30 50 2>/dev/null |
  sed -n 's/^control, nothing recording, CPU: share.*max \([0-9.]*\)%.*/\1/p' >>"$OUT/control_worst" || true

row() { # name file aim unit
  python3 - "$@" <<'EOF'
import sys, statistics
name, path, aim, unit = sys.argv[1:5]
try:
    v = [float(x) for x in open(path) if x.strip()]
except OSError:
    v = []
if not v:
    print("%-52s %10s %20s %8s %7s" % (name, "-", "-", aim, "-")); sys.exit()
m = statistics.median(v)
ratio = "%.2f" % (m / float(aim)) if aim != "-" else "-"
print("%-52s %9.3f%s %9.3f .. %-8.3f %7s%s %7s" % (name, m, unit, min(v), max(v), aim, unit, ratio))
EOF
}
printf "%-52s %10s %20s %8s %7s\n" figure median "spread (min .. max)" aim ratio
row "control loop, CPU ms (machine noise)" "$OUT/control" - ""
for p in 64 128 256; do row "engine period $p frames, 0 clips, % of period" "$OUT/engine_$p" - "%"; done
row "period 64, 8 play + 1 rec + metronome, % of period" "$OUT/looping" 1 "%"
row "worst period, save 80 x 30 s, % of 64-frame period" "$OUT/save_worst" 10 "%"
row "worst period, 30-min recording, % of 64-frame period" "$OUT/record_worst" 10 "%"
row "worst period, control run, % of 64-frame period" "$OUT/control_worst" - "%"
