#!/usr/bin/env bash
# Sets up, builds with warnings as errors, runs every test, then runs the core tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer. The wizard's tests (label "ui") drive
# the real windows offscreen: ctest gives them QT_QPA_PLATFORM=offscreen and the WebEngine flags.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh tests
jobs=$(nproc)

# The tree is formatted (root .clang-format).
unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -c warning || true)
if [ "$unformatted" != "0" ]; then
  echo "clang-format: $unformatted places are not formatted (run clang-format -i)." >&2
  exit 1
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLIGNADO_WERROR=ON -DLIGNADO_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
# The Debian package made from that build: its fields and files, then installed, used and
# removed (as root; scripts/package-test.sh).
scripts/package-test.sh build

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLIGNADO_WERROR=ON -DLIGNADO_SANITIZE=ON \
  -DLIGNADO_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
