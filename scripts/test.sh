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

# JACK's server registry keeps an entry for every server that died without unregistering,
# and refuses new servers once eight are listed. With no jackd alive nothing can be using
# it, so start from a clean one.
if ! pgrep -x -r R,S,D,T jackd >/dev/null 2>&1; then
  rm -f /dev/shm/jack-shm-registry /dev/shm/jack_sem.* 2>/dev/null || true
fi
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

echo "== tests"
(cd build && ctest --output-on-failure -j"$(nproc)" "$@")

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
echo "== tests under ASan and UBSan"
cmake -S . -B build-asan -DVESKO_SANITIZE=ON -DVESKO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-asan -j"$(nproc)" >/dev/null
supp="$(pwd)/tests/lsan.supp"
# Leaks inside the font and X libraries (caches they keep for the process) are theirs.
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
   LSAN_OPTIONS=suppressions="$supp" \
   ctest --output-on-failure -j"$(nproc)" "$@")

# The tests where the engine and the interface run at once, under ThreadSanitizer.
echo "== engine tests under TSan"
bash scripts/tsan.sh "$@"

# Every reader of outside input, fuzzed briefly from its seeds.
echo "== fuzzing"
bash scripts/fuzz.sh "${VESKO_FUZZ_SECONDS:-15}"
