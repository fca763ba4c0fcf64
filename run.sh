#!/usr/bin/env bash
# Installs what is missing, builds and starts Quillet.
set -euo pipefail
cd "$(dirname "$0")"

scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/bin/quillet ]; then
  exec build/bin/quillet "$@"
fi
echo "The window is not built yet."
