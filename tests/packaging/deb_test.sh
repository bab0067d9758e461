#!/usr/bin/env bash
# The built package: its control fields (name, the version the program prints, dependencies
# that cover every library the programs load) and its files (programs in /usr/bin, every
# shipped template, documentation, desktop files, manual pages; nothing outside /usr).
# Usage: deb_test.sh PAQUET.deb DÉPÔT
set -uo pipefail
deb=$1
src=$2
fail=0
say() { echo "$*"; fail=1; }
field() { dpkg-deb -f "$deb" "$1"; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root" || { echo "paquet illisible : $deb"; exit 1; }
files=$(dpkg-deb -c "$deb" | awk '{print $1, $2, $6}')

version=$("$root/usr/bin/lignado-cli" --version 2>&1) || say "lignado-cli --version : $version"
[ "$(field Package)" = lignado ] || say "Package : $(field Package)"
[ "$(field Version)" = "${version##* }" ] || say "Version $(field Version), le programme dit $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || say "Architecture : $(field Architecture)"
[ "${deb##*/}" = "lignado_${version##* }_$(dpkg --print-architecture).deb" ] || say "nom : ${deb##*/}"

# Every library the programs need comes from a package the package depends on.
# The package names of Depends, one a line (versions and alternatives' bars dropped).
depends=$(field Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g')
for prog in lignado lignado-cli; do
  for lib in $(objdump -p "$root/usr/bin/$prog" | awk '/NEEDED/ {print $2}'); do
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l {print $NF; exit}')
    owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n 1 | cut -d: -f1)
    [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | head -n 1 | cut -d: -f1)
    [ -n "$owner" ] || { say "$prog : $lib sans paquet"; continue; }
    grep -qxF "$owner" <<<"$depends" || say "$prog : $lib ($owner) absent de Depends"
  done
done

expect=(
  "-rwxr-xr-x root/root ./usr/bin/lignado"
  "-rwxr-xr-x root/root ./usr/bin/lignado-cli"
  "-rw-r--r-- root/root ./usr/share/doc/lignado/copyright"
  "-rw-r--r-- root/root ./usr/share/doc/lignado/changelog.gz"
  "-rw-r--r-- root/root ./usr/share/doc/lignado/modeles.md"
  "-rw-r--r-- root/root ./usr/share/doc/lignado/examples/famille-exemple.ged"
  "-rw-r--r-- root/root ./usr/share/man/man1/lignado.1.gz"
  "-rw-r--r-- root/root ./usr/share/man/man1/lignado-cli.1.gz"
  "-rw-r--r-- root/root ./usr/share/applications/lignado.desktop"
  "-rw-r--r-- root/root ./usr/share/mime/packages/lignado.xml"
  "-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/lignado.svg"
  "-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/lignado.png"
  "-rw-r--r-- root/root ./usr/share/bash-completion/completions/lignado-cli"
)
for e in "${expect[@]}"; do grep -qxF -- "$e" <<<"$files" || say "absent : $e"; done
grep -q '^-rw-r--r-- root/root ./usr/share/metainfo/[a-z.]*Lignado.metainfo.xml$' <<<"$files" ||
  say "absent : les données AppStream"
# Every file of the shipped templates, as it is in the repository.
while IFS= read -r f; do
  cmp -s "$src/$f" "$root/usr/share/lignado/$f" || say "modèle absent ou différent : $f"
done < <(cd "$src" && find modele -type f)
outside=$(awk '{print $3}' <<<"$files" | grep -v -e '^\./$' -e '^\./usr/$' -e '^\./usr/share/' -e '^\./usr/bin/')
[ -z "$outside" ] || say "hors de /usr/bin et /usr/share : $outside"
grep -Eq '\.ini$|/lib/|\.a$|_test$' <<<"$files" && say "fichiers de trop : $(grep -E '\.ini$|/lib/|\.a$|_test$' <<<"$files")"
exit $fail
