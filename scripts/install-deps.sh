#!/usr/bin/env bash
# Installs every Debian package Vesko needs to build, run, test and benchmark.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libjack-jackd2-dev jackd2
  liblo-dev liblo-tools
  libfltk1.3-dev libcairo2-dev
  libsndfile1-dev sndfile-programs
  libsamplerate0-dev samplerate-programs
  libcjson-dev
  libx11-dev libxpm-dev
  googletest libgtest-dev libgmock-dev
  xvfb xdotool imagemagick sox
  libbenchmark-dev
  clang-14 libfuzzer-14-dev libclang-rt-14-dev
  alsa-utils desktop-file-utils man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "vesko: all build and test packages are installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "vesko: installing ${missing[*]}"
# jackd2 asks about real-time priority; answer for it so the install never waits.
echo "jackd2 jackd/tweak_rt_limits boolean true" | $SUDO debconf-set-selections
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
