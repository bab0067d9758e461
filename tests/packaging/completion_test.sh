#!/usr/bin/env bash
# bash completion of lignado-cli and lignado: commands, options and their values read from the
# program's help, template names, GEDCOM files.
# Usage: completion_test.sh LIGNADO-CLI DOSSIER-PACKAGING
set -uo pipefail
cli=$1
src=$(readlink -f "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/data/lignado/modele/Mien" "$work/arbres"
touch "$work/arbres/a.ged" "$work/arbres/B.GED" "$work/arbres/c.txt"
export XDG_DATA_HOME="$work/data"
cd "$work"
source "$src/lignado-cli.bash"
source "$src/lignado.bash"
fail=0
complete_line() {  # FUNCTION WORDS... : the sorted replies for the last word
  local f=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  "$f"
  [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "
}
cases=(
  "_lignado_cli|$cli b|build "
  "_lignado_cli|$cli --v|--version "
  "_lignado_cli|$cli build f.ged --li|--living --living-years "
  "_lignado_cli|$cli build f.ged --ro|--robots --root "
  "_lignado_cli|$cli build f.ged --living |anonymous hide publish "
  "_lignado_cli|$cli build f.ged --si|--site-url "
  "_lignado_cli|$cli build f.ged --robots |all none search "
  "_lignado_cli|$cli upload site --tls r|require "
  "_lignado_cli|$cli import x --charset |ansel ibmpc none "
  "_lignado_cli|$cli build f.ged --template M|Mien "
  "_lignado_cli|$cli build f.ged --template c|classique "
  "_lignado_cli|$cli build arbres/|arbres/B.GED arbres/a.ged "
  "_lignado_cli|$cli upload a|arbres "
  "_lignado|lignado arbres/|arbres/B.GED arbres/a.ged "
  "_lignado|lignado arbres/a.ged |"
)
for c in "${cases[@]}"; do
  IFS='|' read -r f line want <<<"$c"
  read -r -a words <<<"$line"
  [[ $line == *" " ]] && words+=("")
  got=$(complete_line "$f" "${words[@]}")
  [ "$got" = "$want" ] || { echo "[$line] : \"$got\" au lieu de \"$want\""; fail=1; }
done
exit $fail
