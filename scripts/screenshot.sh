#!/usr/bin/env bash
# Builds the site of the example family with a template and renders its home page and one
# person page to PNG with headless Chromium, at desktop and phone widths.
#
#   scripts/screenshot.sh [TEMPLATE] [OUTDIR] [PERSON]
#
# TEMPLATE: a folder name under modele/ or a template folder (default classique).
# OUTDIR:   where the site and the pictures go (default BUILD_DIR/captures).
# PERSON:   the number of the person page to render (default: the first person linked from
#           the home page).
# BUILD_DIR (environment) names the build folder (default build). Installs chromium with
# apt-get when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

template=${1:-classique}
build=${BUILD_DIR:-build}
outdir=${2:-$build/captures}
person=${3:-}
ged=examples/famille-exemple.ged

if ! command -v chromium >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq chromium
fi

# An existing build folder keeps its own options.
if [ ! -f "$build/CMakeCache.txt" ]; then
  scripts/setup.sh
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DLIGNADO_TESTS=OFF -DLIGNADO_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target lignado-cli -j2 >/dev/null

mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)
name=$(basename "$template")
site="$outdir/site-$name"
rm -rf "$site"
"$build/lignado-cli" build "$ged" --template "$template" --out "$site"

if [ -z "$person" ]; then
  page=$(grep -ao 'personne_n_[0-9]*\.html' "$site/index.html" | head -n 1 || true)
  [ -n "$page" ] || page=personne_n_1.html
else
  page="personne_n_${person}.html"
fi
if [ ! -f "$site/$page" ]; then
  echo "Page introuvable : $site/$page" >&2
  exit 1
fi

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT

# shot URL FILE WIDTH HEIGHT
shot() {
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --hide-scrollbars --user-data-dir="$profile" --screenshot="$2" --window-size="$3,$4" \
    "$1" >/dev/null 2>&1
  echo "$2"
}

shot "file://$site/index.html" "$outdir/$name-accueil.png" 1280 1100
shot "file://$site/$page" "$outdir/$name-personne.png" 1280 1600
shot "file://$site/index.html" "$outdir/$name-accueil-mobile.png" 390 1100
shot "file://$site/$page" "$outdir/$name-personne-mobile.png" 390 1600
