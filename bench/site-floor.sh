#!/usr/bin/env bash
# The whole build (import and site) of lignado-cli at a base commit and from the working tree,
# in the same run, beside the write floor: the time a program (cp) takes to write the same files
# and bytes. On tmpfs (/dev/shm) when there is one. Inputs: royal92.ged of the corpus when
# present, a generated tree of 3,000 persons (--small N, 0 to skip) and one of 100,000
# (--persons N, 0 to skip). Each row gives the pages per second of the working tree; the last
# lines compare those of the big tree with the small one's, and, when perf is there, give the
# calling thread's share of the CPU samples of each build (whole build, and from the first
# sample of a page thread on: the site alone), with the largest number of jobs.
#
#   bench/site-floor.sh [BASE] [--corpus DOSSIER] [--persons N] [--small N] [--jobs "1 2"]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
base=main
corpus=/work/shared/corpus
persons=100000
small=3000
jobs_list="1 2"
while [ $# -gt 0 ]; do
  case "$1" in
    --corpus) corpus=$2; shift 2 ;;
    --persons) persons=$2; shift 2 ;;
    --small) small=$2; shift 2 ;;
    --jobs) jobs_list=$2; shift 2 ;;
    -*) echo "Option inconnue : $1" >&2; exit 2 ;;
    *) base=$1; shift ;;
  esac
done
scratch=/dev/shm
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch=${TMPDIR:-/tmp}
source scripts/at-commit.sh
at_commit_start "$base" "$scratch" site-floor
at_commit_build "$work/base" "$work/build-base" ON lignado-cli
at_commit_build "$root" "$work/build-new" ON lignado-cli treegen

inputs=()
[ -f "$corpus/royal92.ged" ] && inputs+=("$corpus/royal92.ged")
for n in "$small" "$persons"; do
  [ "$n" -gt 0 ] || continue
  "$work/build-new/bench/treegen" "$n" "$work/tree-$n.ged" >/dev/null
  inputs+=("$work/tree-$n.ged")
done

seconds() {  # command...: wall seconds
  local t0 t1
  t0=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s.%N)
  echo "$t1 - $t0" | bc
}

printf '%-22s %5s %7s %9s %9s %9s %8s %8s %9s\n' fichier jobs pages base_s apres_s plancher_s \
  base/pl apres/pl pages/s
declare -A rate
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
    rate["$(basename "$ged") $jobs"]=$(echo "$pages / $t_new" | bc -l)
    printf '%-22s %5s %7s %9.3f %9.3f %9.3f %8.1f %8.1f %9.0f\n' "$(basename "$ged")" "$jobs" \
      "$pages" "$t_base" "$t_new" "$floor" "$(echo "$t_base / $floor" | bc -l)" \
      "$(echo "$t_new / $floor" | bc -l)" "${rate["$(basename "$ged") $jobs"]}"
  done
done
rm -rf "$work/site-base" "$work/site-new" "$work/floor"

if [ "$small" -gt 0 ] && [ "$persons" -gt 0 ]; then
  for jobs in $jobs_list; do
    printf 'pages/s %s personnes / %s personnes, %s jobs : %.0f %%\n' "$persons" "$small" "$jobs" \
      "$(echo "100 * ${rate["tree-$persons.ged $jobs"]} / ${rate["tree-$small.ged $jobs"]}" | bc -l)"
  done
fi

# The calling thread is the process's first thread: its id is the process id, the smallest.
if command -v perf >/dev/null; then
  jobs=${jobs_list##* }
  for ged in "${inputs[@]}"; do
    rm -rf "$work/site-new"
    if ! perf record -q -e cpu-clock -F 999 -o "$work/perf.data" -- \
      "$work/build-new/lignado-cli" build "$ged" --template "$root/modele/classique" \
      --out "$work/site-new" --jobs "$jobs" >/dev/null 2>&1; then
      echo "perf record n'a pas pu mesurer $(basename "$ged")"
      continue
    fi
    perf script -i "$work/perf.data" -F tid,time 2>/dev/null | tr -d ':' | awk -v f="$(basename "$ged")" '
      { tid[NR] = $1; t[NR] = $2; if (main == "" || $1 < main) main = $1 }
      END {
        for (i = 1; i <= NR; i++) {
          if (tid[i] == main) m++
          if (tid[i] != main && (start == "" || t[i] < start)) start = t[i]
        }
        for (i = 1; i <= NR; i++)
          if (start != "" && t[i] >= start) { all++; if (tid[i] == main) ms++ }
        printf "fil appelant %s : %.1f %% de la construction, %.1f %% du site (%d echantillons)\n",
          f, NR ? 100 * m / NR : 0, all ? 100 * ms / all : 0, NR
      }'
  done
  rm -rf "$work/site-new" "$work/perf.data"
fi
