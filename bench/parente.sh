#!/usr/bin/env bash
# The relationship page of a generated tree (100,000 persons unless --persons N) answering pairs
# in headless Chromium: the site built by lignado-cli with the classique template on tmpfs, then
# bench/parente.mjs. Needs a build (build/ or BUILD_DIR) with lignado-cli and treegen, Chromium
# and the npm packages of tests/browser (scripts/setup.sh tests).
#
#   bench/parente.sh [--persons N] [PAIR...]   (a pair: "A-B", person numbers)
set -euo pipefail
cd "$(dirname "$0")/.."
persons=100000
pairs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --persons) persons=$2; shift 2 ;;
    *) pairs+=("$1"); shift ;;
  esac
done
build=${BUILD_DIR:-build}
cli=$(find "$build" -name lignado-cli -type f -perm -u+x | head -1)
treegen=$(find "$build" -name treegen -type f -perm -u+x | head -1)
[ -n "$cli" ] && [ -n "$treegen" ] || { echo "lignado-cli et treegen introuvables dans $build" >&2; exit 1; }
scratch=/dev/shm
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch=${TMPDIR:-/tmp}
work=$(mktemp -d "$scratch/parente.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$treegen" "$persons" "$work/arbre.ged"
"$cli" build "$work/arbre.ged" --template modele/classique --out "$work/site" >/dev/null
# By default: two of the last generation, the last and one from the middle, the last and the first.
[ ${#pairs[@]} -gt 0 ] || pairs=("$persons-$((persons - 1))" "$persons-$((persons / 2))" "$persons-1" "$((persons - 5))-$((persons - 3000))")
node bench/parente.mjs "$work/site" "${pairs[@]}"
