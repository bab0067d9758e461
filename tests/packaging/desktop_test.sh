#!/usr/bin/env bash
# The desktop entry and the AppStream data validate and name each other and the icon; the
# MIME type makes GEDCOM files (by name or by content) open with Lignado.
# Usage: desktop_test.sh DOSSIER-PACKAGING. Exit 77 (skipped) without the desktop tools.
set -uo pipefail
src=$1
for t in desktop-file-validate appstreamcli update-mime-database update-desktop-database gio; do
  command -v "$t" >/dev/null 2>&1 || { echo "$t absent"; exit 77; }
done
fail=0
say() { echo "$*"; fail=1; }

out=$(desktop-file-validate "$src/lignado.desktop" 2>&1) || say "desktop-file-validate : $out"
[ -z "$out" ] || say "desktop-file-validate : $out"
out=$(appstreamcli validate --no-net "$src/lignado.metainfo.xml" 2>&1) || say "appstreamcli : $out"
grep -qF '<launchable type="desktop-id">lignado.desktop</launchable>' "$src/lignado.metainfo.xml" ||
  say "les données AppStream ne lancent pas lignado.desktop"
icon=$(sed -n 's/^Icon=//p' "$src/lignado.desktop")
[ -f "$src/icons/$icon.svg" ] || say "pas d'icône $icon.svg"

# A data folder that holds only our MIME type and desktop entry.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$root/share/mime/packages" "$root/share/applications" "$root/home" "$root/files" "$root/bin"
# A desktop offers only programs it finds on the PATH.
printf '#!/bin/sh\n' >"$root/bin/lignado"
chmod +x "$root/bin/lignado"
cp "$src/lignado-gedcom.xml" "$root/share/mime/packages/lignado.xml"
cp "$src/lignado.desktop" "$root/share/applications/"
update-mime-database "$root/share/mime" >/dev/null 2>&1 || say "update-mime-database refuse le type"
update-desktop-database "$root/share/applications" || say "update-desktop-database refuse l'entrée"
run() {
  env -i PATH="$root/bin:/usr/bin:/bin" HOME="$root/home" XDG_DATA_HOME="$root/home" \
    XDG_CONFIG_HOME="$root/home" XDG_DATA_DIRS="$root/share" "$@"
}
cases=(
  # file name | first bytes | type
  "famille.ged|x|application/x-gedcom"
  "FAMILLE.GED|x|application/x-gedcom"
  "export.gedcom|x|application/x-gedcom"
  "export|0 HEAD\r\n1 SOUR X\r\n|application/x-gedcom"
  "export-bom|\xef\xbb\xbf0 HEAD\r\n|application/x-gedcom"
  "lettre|Bonjour, 0 HEAD\n|text/plain"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name bytes want <<<"$c"
  printf "$bytes" >"$root/files/$name"
  got=$(run gio info -a standard::content-type "$root/files/$name" | sed -n 's/.*content-type: //p')
  [ "$got" = "$want" ] || say "$name : $got au lieu de $want"
done
# "Ouvrir avec Lignado": the desktop offers the wizard for the type.
offered=$(run gio mime application/x-gedcom 2>&1)
grep -q "lignado.desktop" <<<"$offered" ||
  say "lignado.desktop n'est pas proposé pour application/x-gedcom : $offered"
exit $fail
