#!/usr/bin/env bash
# Makes the Debian package from a finished build (build/ by default), checks its fields and
# files, then installs it on this machine, uses it and removes it (as root only, and never over
# a Lignado installed before: that step is then skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
deb=$(scripts/package.sh --build-dir "$build" --out "$out")
bash tests/packaging/deb_test.sh "$deb" "$(pwd)"
status=0
bash tests/packaging/install_test.sh "$deb" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
echo "Paquet vérifié : ${deb##*/}"
