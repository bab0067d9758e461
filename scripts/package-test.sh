#!/usr/bin/env bash
# Makes the Debian package from a finished build (build/ by default), checks its fields and
# files, then installs it on this machine, uses it and removes it (as root only, and never over
# a Lignado installed before: that step is then skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
# A package without the wizard is no package: a build made with -DLIGNADO_GUI=OFF is left alone.
if ! grep -q '^LIGNADO_GUI:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "Paquet non vérifié : $build est construit sans l'assistant (LIGNADO_GUI=OFF)."
  exit 0
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
deb=$(scripts/package.sh --build-dir "$build" --out "$out")
bash tests/packaging/deb_test.sh "$deb" "$(pwd)"
status=0
bash tests/packaging/install_test.sh "$deb" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
echo "Paquet vérifié : ${deb##*/}"
