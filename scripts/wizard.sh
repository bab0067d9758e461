#!/usr/bin/env bash
# Sets up, builds and starts the wizard (build/lignado) on this desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target lignado
exec build/lignado
