#!/usr/bin/env bash
# Proves that a change leaves every generated site byte for byte as it was: builds lignado-cli at
# a base commit (in a temporary git worktree) and from the working tree, builds the sites of the
# shipped example family and of every GEDCOM file of the corpus folder that is present, with both
# shipped templates, and compares the SHA-256 of every page and file. Every input and template is
# compared; the files that differ are listed with their count per site, and the exit status is 1
# when one differed.
#
#   scripts/site-digests.sh [BASE] [--corpus DOSSIER] [--max-kb N] [--own-templates]
#     BASE      the commit to compare with (main by default)
#     --corpus  the folder of GEDCOM files (/work/shared/corpus by default; absent: skipped)
#     --max-kb  files bigger than this are skipped (2048 by default), to stay within minutes
#     --own-templates  each side uses the templates of its own commit (the base program with the
#               base templates, the new one with the working tree's), for a change that edits
#               the templates too; by default both use the working tree's, so that only the
#               program differs
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
base=main
corpus=/work/shared/corpus
max_kb=2048
own_templates=0
while [ $# -gt 0 ]; do
  case "$1" in
    --corpus) corpus=$2; shift 2 ;;
    --max-kb) max_kb=$2; shift 2 ;;
    --own-templates) own_templates=1; shift ;;
    -*) echo "Option inconnue : $1" >&2; exit 2 ;;
    *) base=$1; shift ;;
  esac
done
source scripts/at-commit.sh
at_commit_start "$base" "${TMPDIR:-/tmp}" site-digests

echo "Construction de lignado-cli au commit de base ($(git rev-parse --short "$base_commit"))..."
at_commit_build "$work/base" "$work/build-base" OFF lignado-cli
echo "Construction de lignado-cli de l'arbre de travail..."
at_commit_build "$root" "$work/build-new" OFF lignado-cli

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
templates_of() {  # side: the folder holding the templates that side uses
  if [ "$own_templates" = 1 ] && [ "$1" = base ]; then echo "$work/base/modele"; else echo "$root/modele"; fi
}
if [ "$own_templates" = 1 ]; then
  echo "Chaque côté avec les modèles de son commit."
else
  echo "Les deux côtés avec les modèles de l'arbre de travail."
fi

# The files of two digest lists (sha256sum lines) whose digest differs or that one side lacks.
differing() {
  awk 'NR == FNR { before[substr($0, 67)] = substr($0, 1, 64); next }
       { p = substr($0, 67)
         if (!(p in before)) print p " (nouveau)"
         else if (before[p] != substr($0, 1, 64)) print p
         delete before[p] }
       END { for (p in before) print p " (disparu)" }' "$1" "$2" | sed 's|^\./||' | LC_ALL=C sort
}

sites=0
differ=0
for ged in "${inputs[@]}"; do
  for tpl in classique parchemin; do
    name="$(basename "$ged")-$tpl"
    for side in base new; do
      out="$work/sites/$side/$name"
      mkdir -p "$out"
      # A build that fails or warns still leaves its pages; its exit code is compared too.
      rc=0
      "$work/build-$side/lignado-cli" build "$ged" --template "$(templates_of "$side")/$tpl" \
        --out "$out" >"$work/$side-$name.log" 2>&1 || rc=$?
      echo "exit $rc" >"$work/$side-$name.rc"
      (cd "$out" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum) \
        >"$work/$side-$name.sha"
    done
    sites=$((sites + 1))
    bad=0
    if ! cmp -s "$work/base-$name.rc" "$work/new-$name.rc"; then
      echo "DIFFÉRENT $name : code de sortie $(cat "$work/base-$name.rc") -> $(cat "$work/new-$name.rc")"
      bad=1
    fi
    differing "$work/base-$name.sha" "$work/new-$name.sha" >"$work/$name.diff"
    pages=$(wc -l <"$work/$name.diff")
    sed "s|^|DIFFÉRENT $name : |" "$work/$name.diff"
    total=$(wc -l <"$work/new-$name.sha")
    if [ "$pages" -gt 0 ]; then
      echo "$name : $pages fichiers différents sur $total"
      bad=1
    else
      echo "$name : $total fichiers comparés"
    fi
    differ=$((differ + bad))
  done
done
if [ "$differ" -eq 0 ]; then
  echo "Tous les sites sont identiques ($sites sites)."
  exit 0
fi
echo "Sites différents : $differ sur $sites."
exit 1
