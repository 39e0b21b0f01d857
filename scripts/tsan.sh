#!/usr/bin/env bash
# Builds build-tsan (everything with ThreadSanitizer, the vesko binary included) and runs
# the tests where the engine and the interface run at once: the end-to-end tests (the
# real binary against private jackd servers, its window on X) and the window tests that
# run a real engine. Any report fails the run: each test's own process exits with 66 and
# the report of any process (a vesko started by a test too) is left in build-tsan/tsan/.
# Window tests use the X server in DISPLAY, or an Xvfb started here.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${VESKO_JOBS:-$(nproc)}

cmake -S . -B build-tsan -DVESKO_TSAN=ON -DVESKO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-tsan -j"$jobs" --target vesko vesko_e2e_tests vesko_gui_tests >/dev/null

source scripts/test-env.sh

reports="$(pwd)/build-tsan/tsan"
rm -rf "$reports"
mkdir -p "$reports"
export TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:history_size=4:suppressions=$(pwd)/tests/tsan.supp:log_path=$reports/report"

# Label "engine": the end-to-end tests and the window tests with a real engine.
status=0
# One at a time: the instrumented engine is several times slower, and two of them beside
# two instrumented windows on two cores miss JACK cycles, which the tests that time taps
# and bar lines by the clock would read as wrong tempos.
(cd build-tsan && ctest --output-on-failure -j"${VESKO_TSAN_TEST_JOBS:-1}" -L engine "$@") || status=1
if compgen -G "$reports/report.*" >/dev/null; then
  echo "tsan: reports found:"
  cat "$reports"/report.*
  status=1
fi
exit $status
