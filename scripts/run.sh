#!/usr/bin/env bash
# Installs what is missing, builds Vesko and starts it. When no JACK server is running it
# starts one for the length of the session: on the sound card when one is usable, else
# with the dummy driver. Arguments are passed to vesko (for example a session directory).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vesko

export JACK_NO_START_SERVER=1
jackd_pid=""
stop_jackd() {
  if [ -n "$jackd_pid" ] && kill -0 "$jackd_pid" 2>/dev/null; then
    kill "$jackd_pid" 2>/dev/null || true
    wait "$jackd_pid" 2>/dev/null || true
  fi
}
trap stop_jackd EXIT

server_running() { jack_wait -c 2>/dev/null | grep -q '^running'; }

# Starts jackd with the given driver arguments; succeeds once the server answers.
try_jackd() {
  jackd "$@" >"${TMPDIR:-/tmp}/vesko-jackd.log" 2>&1 &
  jackd_pid=$!
  if jack_wait -w -t 5 >/dev/null 2>&1 && server_running && kill -0 "$jackd_pid" 2>/dev/null; then
    return 0
  fi
  stop_jackd
  jackd_pid=""
  return 1
}

if server_running; then
  echo "vesko: using the JACK server that is already running"
elif [ -e /dev/snd/controlC0 ] && { try_jackd -d alsa -d hw:0 -r 48000 -p 256 ||
                                    try_jackd --no-realtime -d alsa -d hw:0 -r 48000 -p 256; }; then
  echo "vesko: started a JACK server on the sound card (ALSA driver, hw:0, 48 kHz); it stops when Vesko ends"
elif try_jackd -d dummy -r 48000 -p 256 || try_jackd --no-realtime -d dummy -r 48000 -p 256; then
  echo "vesko: no usable sound card; started a JACK server with the dummy driver (nothing will be heard); it stops when Vesko ends"
else
  echo "vesko: could not start a JACK server; see ${TMPDIR:-/tmp}/vesko-jackd.log" >&2
  exit 1
fi

status=0
build/vesko "$@" || status=$?
exit "$status"
