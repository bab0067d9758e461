#!/usr/bin/env bash
# Sets up, builds, and turns the shipped example family into a web site in ./site.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DLIGNADO_TESTS=OFF -DLIGNADO_BENCH=OFF >/dev/null
cmake --build build-release -j"$(nproc)" --target lignado-cli
build-release/lignado-cli build examples/famille-exemple.ged --out site
echo "Site : $(pwd)/site/index.html"
