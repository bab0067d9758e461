#!/usr/bin/env bash
# Sets up, builds, and turns the shipped example family into a web site in ./site.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DLIGNADO_TESTS=OFF -DLIGNADO_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target lignado-cli
build/lignado-cli import examples/famille-exemple.ged
