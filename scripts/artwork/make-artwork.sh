#!/usr/bin/env bash
# Regenerates src/artwork.cxx and data/icons/*.png from the drawings in make_artwork.cxx.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(mktemp -d)
g++ -std=c++17 -O1 -o "$out/make_artwork" scripts/artwork/make_artwork.cxx $(pkg-config --cflags --libs cairo)
mkdir -p data/icons
"$out/make_artwork" src data/icons
rm -rf "$out"
echo "artwork written to src/artwork.cxx and data/icons/"
