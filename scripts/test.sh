#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test. Each end-to-end test
# starts a private jackd of its own; window tests use the X server in DISPLAY, or an Xvfb
# started here.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"

source scripts/test-env.sh

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
