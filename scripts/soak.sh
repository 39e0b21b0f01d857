#!/usr/bin/env bash
# Soak run (not part of CI): a scripted performance of `minutes` (default 30) against a real
# jackd, with the window under Xvfb driven by real X events: clip and scene keys, taps,
# tempo changes, a steady MIDI stream into a controller, a metronome as live input, saves and
# loads. Reports xruns, resident memory over time, and whether the last saved session loads
# back identical into a fresh Vesko.
#
#   bash scripts/soak.sh [minutes]      (VESKO_BUILD=dir picks the build, default build/)
set -uo pipefail
minutes="${1:-30}"
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${VESKO_BUILD:-build}"
bin="$root/$build/vesko"
if [ ! -x "$bin" ]; then
  cmake -S . -B "$build" -DVESKO_BENCH=OFF >/dev/null && cmake --build "$build" -j2 --target vesko >/dev/null || exit 1
fi

work="$(mktemp -d /tmp/vesko-soak-XXXXXX)"
export HOME="$work/home"
cfg="$HOME/.config/morvit/vesko"
mkdir -p "$cfg/controllers"
# A controller map that binds every action, so the MIDI stream drives the looper too.
cp fuzz/midi.ctlr "$cfg/controllers/soak.ctlr"
cat >"$cfg/vesko.prfs" <<EOF
{"saveDirectory": "vesko", "resampleQuality": 1, "defaultControllers": ["soak.ctlr"]}
EOF
projects="$HOME/vesko"

export JACK_DEFAULT_SERVER="vesko-soak" JACK_NO_START_SERVER=1
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      pids+=($!)
      export DISPLAY=":$n"
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      break
    fi
  done
fi

# Real-time scheduling as on stage, when this machine grants it (SOAK_REALTIME=0 turns it off).
realtime=(--no-realtime)
if [ "${SOAK_REALTIME:-1}" != 0 ] && chrt -f 10 true 2>/dev/null; then
  realtime=(-R -P 70)
fi
echo "soak: jackd ${realtime[*]}"
# Every line of jackd's log and every event of the run carries the seconds since the start,
# so that an xrun can be told apart: during a restart of Vesko (a load), or while it plays.
t0=$(date +%s)
stamp() { while IFS= read -r line; do echo "$(( $(date +%s) - t0 )) $line"; done; }
event() { echo "$(( $(date +%s) - t0 )) $*" >>"$work/events.log"; }
jackd "${realtime[@]}" -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 > >(stamp >"$work/jackd.log") 2>&1 &
jackd_pid=$!
pids+=("$jackd_pid")
jack_wait -w -t 10 -s "$JACK_DEFAULT_SERVER" >/dev/null || { echo "soak: jackd did not start"; cat "$work/jackd.log"; exit 1; }

# Starts Vesko (arguments: log file, then Vesko's own) and sets vpid and wid.
start_vesko() {
  local log="$1"; shift
  "$bin" "$@" >"$log" 2>&1 &
  vpid=$!
  pids+=("$vpid")
  wid=""
  for _ in $(seq 150); do
    wid="$(xdotool search --onlyvisible --pid "$vpid" --name '^Vesko$' 2>/dev/null | head -1)"
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || { echo "soak: no window"; cat "$log"; exit 1; }
  sleep 1
}
click() { xdotool mousemove --window "$wid" "$1" "$2" click "${3:-1}" >/dev/null 2>&1; }
# The header menu, item n (0 New, 1 Load, 2 Save).
menu() {
  click 50 18
  sleep 0.3
  for _ in $(seq "$1"); do xdotool key Down; done
  xdotool key Return
  sleep 0.5
}
saves=0; save_fail=0
save_as() { # name, log
  local before; before=$(grep -c "Session saved: $projects/$1.vesko" "$2")
  menu 3
  xdotool key ctrl+a; xdotool type "$1"; xdotool key Return
  for _ in $(seq 100); do
    [ "$(grep -c "Session saved: $projects/$1.vesko" "$2")" -gt "$before" ] && { saves=$((saves + 1)); return 0; }
    sleep 0.1
  done
  save_fail=$((save_fail + 1)); return 1
}
loads=0; load_fail=0
stop_vesko() {
  kill -TERM "$vpid" 2>/dev/null
  for _ in $(seq 50); do kill -0 "$vpid" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$vpid" 2>/dev/null
  wait "$vpid" 2>/dev/null
}
# A load: Vesko is quit and started again on the session, as a performer reopening a set
# would. (The header menu's directory chooser does not take typed paths reliably.)
load_from() { # dir, log
  event "restart begins"
  stop_vesko
  start_vesko "$2" "$1"
  jack_connect "$metro_port" Vesko:master_in_left
  jack_connect "$metro_port" Vesko:master_in_right
  jack_connect soakseq:out "$(jack_lsp -t | grep -B1 midi | grep '^Vesko:.*in' | head -1)"
  if grep -q "readSession() $1" "$2"; then loads=$((loads + 1)); else load_fail=$((load_fail + 1)); fi
  pids+=("$vpid")
  event "restart ends"
}
rss() { awk '/VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null; }

# Live input: a metronome client, and a MIDI client with two presses a second on the
# controller's first two pads. Both run first for a while without Vesko: what the server
# reports then is what this machine does to it whatever runs.
jack_metro -n soakmetro -b 120 -f 660 -D 20 >/dev/null 2>&1 &
pids+=($!)
jack_midiseq soakseq 24000 0 36 2000 12000 44 2000 >/dev/null 2>&1 &
pids+=($!)
idle="${SOAK_IDLE:-60}"
sleep "$idle"
xruns_idle=$(grep -cE "JackTimedDriver::Process XRun|JackEngine::XRun" "$work/jackd.log")
event "idle ends"

log="$work/vesko.log"
start_vesko "$log"
metro_port="$(jack_lsp soakmetro: | head -1)"
jack_connect "$metro_port" Vesko:master_in_left
jack_connect "$metro_port" Vesko:master_in_right
midi_in="$(jack_lsp -t | grep -B1 midi | grep '^Vesko:.*in' | head -1)"
jack_connect soakseq:out "$midi_in" || echo "soak: MIDI not connected (port '$midi_in')"
jack_cpu_load >"$work/cpuload.log" 2>&1 &
pids+=($!)

clip_keys=(1 2 3 4 5 6 7 8 q w e r t y u i a s d f g h j k z x c v b n m comma)
scene_keys=(9 o l period)
RANDOM=12345
start=$(date +%s)
end=$((start + minutes * 60))
next_rss=$start; next_save=$((start + 45)); next_load=$((start + 75))
presses=0; taps=0; tempos=0; scenes=0
echo "seconds rss_kb" >"$work/rss.txt"
echo "soak: $minutes min, logs in $work"
click 700 20 # focus the window
while [ "$(date +%s)" -lt "$end" ]; do
  now=$(date +%s)
  if [ "$now" -ge "$next_rss" ]; then
    echo "$((now - start)) $(rss "$vpid")" >>"$work/rss.txt"
    next_rss=$((now + 10))
  fi
  if ! kill -0 "$vpid" 2>/dev/null; then echo "soak: Vesko died"; tail -30 "$log"; exit 1; fi
  if [ "$now" -ge "$next_save" ]; then
    save_as "soak-$saves" "$log"
    next_save=$((now + 60))
  elif [ "$now" -ge "$next_load" ]; then
    log="$work/vesko-reload-$((loads + load_fail)).log"
    load_from "$projects/soak-$((saves > 0 ? saves - 1 : 0)).vesko" "$log"
    click 700 20
    next_load=$((now + 120))
  else
    r=$((RANDOM % 100))
    if [ $r -lt 70 ]; then
      xdotool key "${clip_keys[RANDOM % ${#clip_keys[@]}]}"; presses=$((presses + 1))
    elif [ $r -lt 80 ]; then
      xdotool key "${scene_keys[RANDOM % 4]}"; scenes=$((scenes + 1))
    elif [ $r -lt 90 ]; then
      for _ in 1 2 3 4; do click 1031 523; sleep 0.45; done; taps=$((taps + 4))
    else
      click 1031 676 $((4 + RANDOM % 2)); tempos=$((tempos + 1))
    fi
  fi
  sleep "0.$((3 + RANDOM % 6))"
done
echo "$(( $(date +%s) - start )) $(rss "$vpid")" >>"$work/rss.txt"

# The round trip: a last save, then a fresh Vesko loads it and saves it again.
save_as final "$log"
stop_vesko
start_vesko "$work/vesko-back.log" "$projects/final.vesko"
sleep 2
save_as final-back "$work/vesko-back.log"
stop_vesko
same=yes; clips=0
for f in "$projects/final.vesko/audio/"*.wav; do
  [ -e "$f" ] || continue
  clips=$((clips + 1))
  b="$projects/final-back.vesko/audio/$(basename "$f")"
  if ! sndfile-cmp "$f" "$b" >/dev/null 2>&1; then same=no; echo "soak: $(basename "$f") differs"; fi
done
back=$(ls "$projects/final-back.vesko/audio/"*.wav 2>/dev/null | wc -l)
[ "$back" -eq "$clips" ] || { same=no; echo "soak: $clips clips saved, $back after loading back"; }
python3 - "$projects/final.vesko/audio/audio.cfg" "$projects/final-back.vesko/audio/audio.cfg" <<'EOF' || same=no
import json, sys
a, b = (json.load(open(p)) for p in sys.argv[1:3])
sys.exit(0 if a == b else 1)
EOF

# One xrun is one late cycle of the driver, or one late client (jackd logs several lines each).
xruns_jackd=$(( $(grep -cE "JackTimedDriver::Process XRun|JackEngine::XRun" "$work/jackd.log") - xruns_idle ))
xruns_load=$(grep -ci xrun "$work/cpuload.log")
# The xruns in the seconds Vesko was restarted for a load (and 2 s on either side).
xruns_restart=$(awk 'NR == FNR { if ($2 == "restart" && $3 == "begins") b[n] = $1 - 2;
                                 if ($2 == "restart" && $3 == "ends") e[n++] = $1 + 2; next }
  /JackTimedDriver::Process XRun|JackEngine::XRun/ { for (i = 0; i < n; i++) if ($1 >= b[i] && $1 <= e[i]) { c++; break } }
  END { print c + 0 }' "$work/events.log" "$work/jackd.log")
idle_end=$(awk '$2 == "idle" { print $1 }' "$work/events.log")
late_driver=$(awk -v t="$idle_end" '$1 > t && /JackTimedDriver::Process XRun/' "$work/jackd.log" | wc -l)
late_vesko=$(grep -c "JackEngine::XRun: client = Vesko was not finished, state = Running" "$work/jackd.log")
echo "== soak figures ($minutes min)"
echo "gestures: $presses clip keys, $scenes scene keys, $taps taps, $tempos tempo steps; saves $saves ($save_fail failed), loads $loads ($load_fail failed)"
echo "xruns before Vesko started, over ${idle} s with the two other clients alone: $xruns_idle"
echo "xruns: $xruns_jackd in jackd's log while Vesko ran ($xruns_restart while Vesko restarted for a load;" \
  "$late_driver the driver's own wake-up late, $late_vesko Vesko still running at the deadline)," \
  "$xruns_load seen by jack_cpu_load"
echo "resident memory (s kB):"; cat "$work/rss.txt" | tr '\n' ';'; echo
first_min=$(awk 'NR > 1 && $1 >= 60 {print $2; exit}' "$work/rss.txt")
last=$(tail -1 "$work/rss.txt" | awk '{print $2}')
echo "growth after the first minute: $(( ${last:-0} - ${first_min:-${last:-0}} )) kB"
echo "round trip of the last session ($clips clips): $( [ $same = yes ] && echo identical || echo DIFFERENT)"
[ "$same" = yes ]
