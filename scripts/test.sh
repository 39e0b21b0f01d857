#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Each end-to-end test
# starts a private jackd of its own; window tests use the X server in DISPLAY, or an Xvfb
# started here.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

export JACK_NO_START_SERVER=1
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      # -noreset: a server that resets when its last client leaves drops the clients
      # connecting at that moment, and window tests come and go many times a second.
      Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      break
    fi
  done
fi

cd build
ctest --output-on-failure -j"$(nproc)" "$@"
