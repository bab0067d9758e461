#!/usr/bin/env bash
# Proves that a change leaves every generated site byte for byte as it was: builds lignado-cli at
# a base commit (in a temporary git worktree) and from the working tree, builds the sites of the
# shipped example family and of every GEDCOM file of the corpus folder that is present, with both
# shipped templates, and compares the SHA-256 of every page and file. Prints the files that
# differ and exits 1 when there is one.
#
#   scripts/site-digests.sh [BASE] [--corpus DOSSIER] [--max-kb N]
#     BASE      the commit to compare with (main by default)
#     --corpus  the folder of GEDCOM files (/work/shared/corpus by default; absent: skipped)
#     --max-kb  files bigger than this are skipped (2048 by default), to stay within minutes
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
base=main
corpus=/work/shared/corpus
max_kb=2048
while [ $# -gt 0 ]; do
  case "$1" in
    --corpus) corpus=$2; shift 2 ;;
    --max-kb) max_kb=$2; shift 2 ;;
    -*) echo "Option inconnue : $1" >&2; exit 2 ;;
    *) base=$1; shift ;;
  esac
done
base_commit=$(git rev-parse --verify "$base^{commit}")

work=$(mktemp -d "${TMPDIR:-/tmp}/site-digests.XXXXXX")
cleanup() {
  git worktree remove --force "$work/base" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

[ -f /work/ccache.env ] && source /work/ccache.env
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

build_cli() {  # source folder, build folder
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DLIGNADO_GUI=OFF -DLIGNADO_TESTS=OFF \
    -DLIGNADO_BENCH=OFF -DLIGNADO_WERROR=OFF "${launcher[@]}" >/dev/null
  cmake --build "$2" -j"$(nproc)" --target lignado-cli >/dev/null
}

git worktree add --detach "$work/base" "$base_commit" >/dev/null 2>&1
echo "Construction de lignado-cli au commit de base ($(git rev-parse --short "$base_commit"))..."
build_cli "$work/base" "$work/build-base"
echo "Construction de lignado-cli de l'arbre de travail..."
build_cli "$root" "$work/build-new"

inputs=("$root/examples/famille-exemple.ged")
if [ -d "$corpus" ]; then
  for f in "$corpus"/*.ged "$corpus"/*.GED; do
    [ -f "$f" ] || continue
    if [ $(( $(stat -c %s "$f") / 1024 )) -gt "$max_kb" ]; then
      echo "Ignoré (trop gros) : $f"
      continue
    fi
    inputs+=("$f")
  done
fi

# Both trees build the same inputs from the same files: the templates of the working tree are
# used by both, so that only the program differs.
status=0
for ged in "${inputs[@]}"; do
  for tpl in classique parchemin; do
    name="$(basename "$ged")-$tpl"
    for side in base new; do
      out="$work/sites/$side/$name"
      mkdir -p "$out"
      # A build that fails or warns still leaves its pages; its exit code is compared too.
      rc=0
      "$work/build-$side/lignado-cli" build "$ged" --template "$root/modele/$tpl" --out "$out" \
        >"$work/$side-$name.log" 2>&1 || rc=$?
      echo "exit $rc" >"$work/$side-$name.rc"
      (cd "$out" && find . -type f -print0 | sort -z | xargs -0 -r sha256sum) \
        >"$work/$side-$name.sha"
    done
    if ! cmp -s "$work/base-$name.rc" "$work/new-$name.rc"; then
      echo "DIFFÉRENT $name : code de sortie $(cat "$work/base-$name.rc") -> $(cat "$work/new-$name.rc")"
      status=1
    fi
    if ! cmp -s "$work/base-$name.sha" "$work/new-$name.sha"; then
      diff "$work/base-$name.sha" "$work/new-$name.sha" | sed -n 's/^[<>] [0-9a-f]*  \.\///p' |
        sort -u | sed "s|^|DIFFÉRENT $name : |"
      status=1
    fi
    echo "$name : $(wc -l <"$work/new-$name.sha") fichiers comparés"
  done
done
if [ $status -eq 0 ]; then echo "Tous les sites sont identiques."; fi
exit $status
