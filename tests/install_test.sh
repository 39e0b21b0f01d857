#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks every installed file.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
check() { if [ ! -s "$prefix/$1" ]; then echo "missing: $1"; fail=1; fi; }
check bin/vesko
check share/applications/vesko.desktop
check share/man/man1/vesko.1
check share/vesko/controllers/pad.ctlr
for size in 16 22 32 48 64 128 256; do
  f="share/icons/hicolor/${size}x${size}/apps/vesko.png"
  check "$f"
  got=$(identify -format '%wx%h' "$prefix/$f" 2>/dev/null || echo none)
  if [ "$got" != "${size}x${size}" ]; then echo "$f is $got, not ${size}x${size}"; fail=1; fi
done
[ -x "$prefix/bin/vesko" ] || { echo "bin/vesko is not executable"; fail=1; }
desktop-file-validate "$prefix/share/applications/vesko.desktop" || fail=1
grep -q '^Categories=.*Audio;' "$prefix/share/applications/vesko.desktop" || { echo "not in Audio"; fail=1; }
man -l "$prefix/share/man/man1/vesko.1" >/dev/null 2>&1 || { echo "man page does not render"; fail=1; }
[ "$("$prefix/bin/vesko" --version)" = "n/a" ] || { echo "installed binary does not run"; fail=1; }
if [ $fail = 0 ]; then echo "install: every file in place"; fi
exit $fail
