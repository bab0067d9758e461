#!/usr/bin/env bash
# The manual pages render without a warning, lignado-cli(1) holds every line of the program's
# help texts (the general one and each command's) and the version it prints.
# Usage: man_test.sh LIGNADO-CLI DOSSIER-DES-PAGES. Exit 77 (skipped) without man.
set -uo pipefail
cli=$1
pages=$2
command -v man >/dev/null 2>&1 || { echo "man absent"; exit 77; }
export LC_ALL=C.UTF-8 MANWIDTH=250
fail=0

for page in "$pages/lignado.1" "$pages/lignado-cli.1"; do
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || { echo "$page : $warnings"; fail=1; }
done

rendered=$(man --no-hyphenation --no-justification -l "$pages/lignado-cli.1")
# Each help line appears as it is, indented like any text of the page.
expect_lines() {
  local line
  while IFS= read -r line; do
    line=${line%"${line##*[! ]}"}
    [ -n "$line" ] || continue
    grep -qxF -- "       $line" <<<"$rendered" || { echo "absent de la page ($1) : $line"; fail=1; }
  done
}
help=$("$cli" --help)
expect_lines --help <<<"$help"
commands=$(sed -n 's/^  \([a-z][a-z-]*\)  .*/\1/p' <<<"$help")
[ -n "$commands" ] || { echo "aucune commande dans --help"; fail=1; }
for c in $commands; do
  grep -qxF "   $c" <<<"$rendered" || { echo "pas de section pour $c"; fail=1; }
  expect_lines "$c --help" < <("$cli" "$c" --help)
done
version=$("$cli" --version)
version=${version##* }
grep -q "Lignado $version " <<<"$rendered" || { echo "la page ne dit pas la version $version"; fail=1; }
grep -q "Lignado $version " < <(man -l "$pages/lignado.1") || { echo "lignado(1) sans la version $version"; fail=1; }
exit $fail
