#!/usr/bin/env bash
# Draws the real window offscreen into docs/window.png, as it looks on a first
# run (started in an empty working folder, so no list file is read).
# Usage: scripts/grab-window.sh [build folder]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
program="$build/bin/quillet"
if [ ! -x "$program" ]; then
  cmake -S "$root" -B "$build" -DQUILLET_WITH_WINDOW=ON >/dev/null
  cmake --build "$build" --target quillet -j2
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$root/docs"
(cd "$work" && QT_QPA_PLATFORM=offscreen "$program" --grab "$root/docs/window.png")
echo "Wrote $root/docs/window.png"
