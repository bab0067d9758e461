#!/usr/bin/env bash
# Pictures of the wizard's eight pages and of the template preview, on the example family and
# the default template, as PNG files in a folder (./screens by default): scripts/screens.sh [DOSSIER]
# Runs offscreen: no display needed. The upload goes to a local FTP server (python3-pyftpdlib).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-screens}")
scripts/setup.sh tests
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target lignado_screens
flags="${QTWEBENGINE_CHROMIUM_FLAGS:-}"
# As root, Chromium runs only without its sandbox.
[ "$(id -u)" -ne 0 ] || flags="$flags --no-sandbox"
QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS="$flags --disable-gpu" build/lignado_screens "$out"
