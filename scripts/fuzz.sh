#!/usr/bin/env bash
# Builds the fuzz targets with clang-14 (libFuzzer, ASan, UBSan) and runs each one for
# SECONDS seconds (default 30) from the seeds in fuzz/seeds/. New inputs it finds are kept
# in build-fuzz/corpus/, outside the repository; a crash leaves its input in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
bash scripts/install-deps.sh >/dev/null
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DVESKO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
status=0
for seeds in fuzz/seeds/*/; do
  name=$(basename "$seeds")
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  echo "fuzz: $name for ${seconds}s"
  if ! (cd build-fuzz && "./fuzz/${name}_fuzz" -max_total_time="$seconds" -max_len=65536 \
         -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 "corpus/$name" "../$seeds" \
         > "fuzz-$name.log" 2>&1); then
    echo "fuzz: $name FAILED, see build-fuzz/fuzz-$name.log"
    tail -n 30 "build-fuzz/fuzz-$name.log"
    status=1
  else
    grep -E '^stat::number_of_executed_units' "build-fuzz/fuzz-$name.log" | sed "s/^/fuzz: $name /"
  fi
done
exit $status
