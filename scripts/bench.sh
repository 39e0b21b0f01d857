#!/bin/bash
# Builds with the benchmarks and runs the engine and looping figures and those of the whole
# program (start-up, CPU while clips play, session save and load, peak memory), repeated,
# with a control loop measured in the same run to show how noisy the machine is. Prints one
# table: figure, median, spread (min .. max over the repeats), aim, ratio of the median to
# the aim.
#
#   scripts/bench.sh [repeats]        default 5
#
# CPU_SECONDS (default 60) is the length of each CPU measurement. Without DISPLAY an Xvfb of
# its own holds the window.
set -euo pipefail
cd "$(dirname "$0")/.."
REPEATS=${1:-5}
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD/..}
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVESKO_BENCH=ON >/dev/null
cmake --build build-bench -j2 --target vesko_bench_engine vesko_bench_looping \
  vesko_bench_startup vesko_bench_cpu vesko_bench_memory vesko_bench_session vesko_bench_save >/dev/null
B=build-bench/bench
OUT=$(mktemp -d)
XVFB=
cleanup() {
  [ -n "$XVFB" ] && kill "$XVFB" 2>/dev/null
  rm -rf "$OUT"
}
trap cleanup EXIT
CPU_SECONDS=${CPU_SECONDS:-60}
export JACK_NO_START_SERVER=1
if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$OUT/display" 2>/dev/null &
  XVFB=$!
  for _ in $(seq 50); do [ -s "$OUT/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$OUT/display")"
fi

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

# The engine's worst periods are measured at the priority a real-time server gives its
# process thread, when this machine grants it; otherwise without.
RT=()
chrt -f 70 true 2>/dev/null && RT=(chrt -f 70)

for r in $(seq "$REPEATS"); do
  control >>"$OUT/control"
  for p in 64 128 256; do
    "$B/vesko_bench_engine" --period=$p --benchmark_repetitions=5 2>/dev/null |
      sed -n 's/.*median \([0-9.]*\)%.*/\1/p' >>"$OUT/engine_$p"
  done
  "$B/vesko_bench_looping" period 20000 2>/dev/null |
    sed -n 's/^period, 8 playing + 1 recording + metronome, CPU: share.*median \([0-9.]*\)%.*/\1/p' >>"$OUT/looping"
  # At real time: the interface makes the save buffers as fast as it really does.
  "${RT[@]}" "$B/vesko_bench_looping" save 80 30 1 2>/dev/null |
    sed -n 's/^save, CPU: share.*max \([0-9.]*\)%.*/\1/p' >>"$OUT/save_worst"
  # As long, saving nothing, while the same buffers are made and freed: what the
  # interface's memory traffic and the machine add without the engine's copy.
  "${RT[@]}" "$B/vesko_bench_looping" save-control 80 30 1 2>/dev/null |
    sed -n 's/^save control, CPU: share.*max \([0-9.]*\)%.*/\1/p' >>"$OUT/save_control_worst"
  "$B/vesko_bench_startup" --repeats=5 2>/dev/null |
    sed -n 's/^startup, .*median \([0-9.]*\) s.*/\1/p' >>"$OUT/startup" || true
  for p in 64 256; do
    "$B/vesko_bench_cpu" --period=$p --seconds="$CPU_SECONDS" 2>/dev/null >"$OUT/cpu.txt" || true
    sed -n 's/^cpu, period [0-9]*, nothing playing: process \([0-9.]*\)%.*/\1/p' "$OUT/cpu.txt" >>"$OUT/cpu_idle_$p"
    sed -n 's/^cpu, period [0-9]*, 8 clips playing: process \([0-9.]*\)%.*/\1/p' "$OUT/cpu.txt" >>"$OUT/cpu_play_$p"
    sed -n 's/^cpu, period [0-9]*, 8 clips playing: .*interface thread \([0-9.]*\)%.*/\1/p' "$OUT/cpu.txt" >>"$OUT/gui_play_$p"
  done
  "$B/vesko_bench_memory" 2>/dev/null >"$OUT/memory.txt" || true
  sed -n 's/^memory, empty session: peak \([0-9.]*\) MB.*/\1/p' "$OUT/memory.txt" >>"$OUT/mem_empty"
  sed -n 's/^memory, [0-9]* clips x [0-9]* s: peak \([0-9.]*\) MB.*/\1/p' "$OUT/memory.txt" >>"$OUT/mem_full"
  sed -n 's/^memory, peak above .*: \([0-9.]*\) .*/\1/p' "$OUT/memory.txt" >>"$OUT/mem_ratio"
done
# Session save and load: the repeats run inside, each against its tool in the same repeat;
# the row gets the ratio's min, max and median, so it shows them.
"$B/vesko_bench_session" 80 30 "$REPEATS" 2>/dev/null >"$OUT/session.txt" || true
# The whole program's save, asked for by a session manager and answered once written.
"$B/vesko_bench_save" --repeats="$REPEATS" 2>/dev/null >"$OUT/save_whole.txt" || true
sed -n "s/^save, whole program, .*ratio median [0-9.]*  min \([0-9.]*\)  max \([0-9.]*\).*/\1\n\2/p" \
  "$OUT/save_whole.txt" >"$OUT/save_whole"
sed -n "s/^save, whole program, .*ratio median \([0-9.]*\) .*/\1/p" "$OUT/save_whole.txt" >>"$OUT/save_whole"
for what in save load; do
  sed -n "s/^session $what, .*ratio median [0-9.]*  min \([0-9.]*\)  max \([0-9.]*\).*/\1\n\2/p" \
    "$OUT/session.txt" >"$OUT/session_$what"
  sed -n "s/^session $what, .*ratio median \([0-9.]*\) .*/\1/p" "$OUT/session.txt" >>"$OUT/session_$what"
done
# One long recording (30 minutes of audio at 50x real time) and its control run.
"${RT[@]}" "$B/vesko_bench_looping" record 30 50 2>/dev/null |
  sed -n 's/^recording, CPU: share.*max \([0-9.]*\)%.*/\1/p' >>"$OUT/record_worst" || true
"${RT[@]}" "$B/vesko_bench_looping" control 30 50 2>/dev/null |
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
shown = aim + unit if aim != "-" else "-"
print("%-52s %9.3f%s %9.3f .. %-8.3f %8s %7s" % (name, m, unit, min(v), max(v), shown, ratio))
EOF
}
printf "%-52s %10s %20s %8s %7s\n" figure median "spread (min .. max)" aim ratio
row "control loop, CPU ms (machine noise)" "$OUT/control" - ""
for p in 64 128 256; do row "engine period $p frames, 0 clips, % of period" "$OUT/engine_$p" - "%"; done
row "period 64, 8 play + 1 rec + metronome, % of period" "$OUT/looping" 1 "%"
row "worst period, save 80 x 30 s, % of 64-frame period" "$OUT/save_worst" 10 "%"
row "worst period, its buffers made and freed, no save, %" "$OUT/save_control_worst" - "%"
row "worst period, 30-min recording, % of 64-frame period" "$OUT/record_worst" 10 "%"
row "worst period, control run, % of 64-frame period" "$OUT/control_worst" - "%"
row "start-up to window shown, s" "$OUT/startup" 0.3 "s"
for p in 64 256; do
  row "interface thread, 8 clips playing, $p frames, % core" "$OUT/gui_play_$p" 5 "%"
done
row "process, 8 clips playing, 64 frames, % of one core" "$OUT/cpu_play_64" - "%"
row "process, 8 clips playing, 256 frames, % of one core" "$OUT/cpu_play_256" 6 "%"
for p in 64 256; do
  row "process, nothing playing, $p frames, % of one core" "$OUT/cpu_idle_$p" - "%"
done
row "session save 80 x 30 s, disk writer / dd conv=fsync" "$OUT/session_save" 1.3 "x"
row "session save 80 x 30 s, whole program / dd" "$OUT/save_whole" 1.3 "x"
row "session load 80 x 30 s 44.1k->48k / sndfile-resample" "$OUT/session_load" 1.2 "x"
row "peak memory, empty session, MB" "$OUT/mem_empty" - ""
row "peak memory, 80 x 30 s session, MB" "$OUT/mem_full" - ""
row "peak above empty / audio bytes held" "$OUT/mem_ratio" - "x"
