#!/usr/bin/env bash
# Builds and runs the MIDI load benchmark: 2000 messages a second for 60 seconds into a
# controller of the real binary on a private jackd. Extra arguments pass through
# (--rate=N, --seconds=N, --period=N).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build -j2 --target vesko_bench_midi_load >/dev/null
JACK_NO_START_SERVER=1 build/bench/vesko_bench_midi_load "$@"
