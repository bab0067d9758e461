#!/usr/bin/env bash
# The whole build (import and site) of lignado-cli at a base commit and from the working tree,
# in the same run, beside the write floor: the time a program (cp) takes to write the same files
# and bytes. On tmpfs (/dev/shm) when there is one. Inputs: royal92.ged of the corpus when
# present, and a generated tree of 100,000 persons (--persons N to change, 0 to skip).
#
#   bench/site-floor.sh [BASE] [--corpus DOSSIER] [--persons N] [--jobs "1 2"]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
base=main
corpus=/work/shared/corpus
persons=100000
jobs_list="1 2"
while [ $# -gt 0 ]; do
  case "$1" in
    --corpus) corpus=$2; shift 2 ;;
    --persons) persons=$2; shift 2 ;;
    --jobs) jobs_list=$2; shift 2 ;;
    -*) echo "Option inconnue : $1" >&2; exit 2 ;;
    *) base=$1; shift ;;
  esac
done
base_commit=$(git rev-parse --verify "$base^{commit}")
scratch=/dev/shm
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch=${TMPDIR:-/tmp}
work=$(mktemp -d "$scratch/site-floor.XXXXXX")
trap 'git worktree remove --force "$work/base" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

[ -f /work/ccache.env ] && source /work/ccache.env
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
build() {  # source folder, build folder, targets...
  local src=$1 dir=$2
  shift 2
  cmake -S "$src" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DLIGNADO_GUI=OFF -DLIGNADO_TESTS=OFF \
    -DLIGNADO_BENCH=ON -DLIGNADO_WERROR=OFF "${launcher[@]}" >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target "$@" >/dev/null
}
git worktree add --detach "$work/base" "$base_commit" >/dev/null 2>&1
build "$work/base" "$work/build-base" lignado-cli
build "$root" "$work/build-new" lignado-cli treegen

inputs=()
[ -f "$corpus/royal92.ged" ] && inputs+=("$corpus/royal92.ged")
if [ "$persons" -gt 0 ]; then
  "$work/build-new/bench/treegen" "$persons" "$work/tree-$persons.ged"
  inputs+=("$work/tree-$persons.ged")
fi

seconds() {  # command...: wall seconds
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc
}

printf '%-22s %5s %7s %9s %9s %9s %8s %8s\n' fichier jobs pages base_s apres_s plancher_s base/pl apres/pl
for ged in "${inputs[@]}"; do
  for jobs in $jobs_list; do
    for side in base new; do
      rm -rf "$work/site-$side"
      t=$(seconds "$work/build-$side/lignado-cli" build "$ged" --template "$root/modele/classique" \
        --out "$work/site-$side" --jobs "$jobs")
      eval "t_$side=$t"
    done
    pages=$(find "$work/site-new" -type f | wc -l)
    rm -rf "$work/floor"
    floor=$(seconds cp -r "$work/site-new" "$work/floor")
    printf '%-22s %5s %7s %9.3f %9.3f %9.3f %8.1f %8.1f\n' "$(basename "$ged")" "$jobs" "$pages" \
      "$t_base" "$t_new" "$floor" "$(echo "$t_base / $floor" | bc -l)" \
      "$(echo "$t_new / $floor" | bc -l)"
  done
done
