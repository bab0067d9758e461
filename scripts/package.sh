#!/usr/bin/env bash
# Builds the Debian package lignado_VERSION_amd64.deb in the current folder: a release build in
# build-package/ (or, with --build-dir DOSSIER, a build already made, as the tests do), packed
# by CPack, whose dpkg-shlibdeps works the run-time dependencies out of the binaries. lintian,
# when installed, must then report no error. Prints the package's path.
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
build=build-package
out=$here
while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) build=${2:?}; shift 2 ;;
    --out) out=${2:?}; shift 2 ;;
    *) echo "Usage : scripts/package.sh [--build-dir DOSSIER] [--out DOSSIER]" >&2; exit 2 ;;
  esac
done
[ "$build" = build-package ] && scripts/setup.sh package

if [ "$build" = build-package ]; then
  cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DLIGNADO_WERROR=ON -DLIGNADO_TESTS=OFF \
    -DLIGNADO_BENCH=OFF -DLIGNADO_GUI=ON >/dev/null
fi
cmake --build "$build" -j"$(nproc)" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/cpack.log"
if ! (cd "$build" && cpack -G DEB -B "$work") >"$log" 2>&1; then
  cat "$log" >&2
  echo "La construction du paquet a échoué (voir ci-dessus)." >&2
  exit 1
fi
debs=("$work"/lignado_*.deb)
[ -f "${debs[0]}" ] || { cat "$log" >&2; echo "CPack n'a fait aucun paquet." >&2; exit 1; }
mkdir -p "$out"
deb="$out/${debs[0]##*/}"
mv "${debs[0]}" "$deb"

if command -v lintian >/dev/null 2>&1; then
  # Errors fail; warnings are shown.
  status=0
  lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || status=$?
  grep -v "^running with root privileges" "$work/lintian.log" >&2 || true
  if [ "$status" -ne 0 ]; then
    echo "lintian trouve des erreurs dans $deb." >&2
    exit 1
  fi
fi
echo "$deb"
