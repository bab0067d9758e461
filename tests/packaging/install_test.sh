#!/usr/bin/env bash
# Installs the package on this machine as a user would (apt-get install ./PAQUET.deb), uses
# the installed programs from a fresh home folder, then removes the package and checks that
# nothing of it is left in /usr. Runs as root only, and never over a Lignado installed here
# before (exit 77: skipped).
# Usage: install_test.sh PAQUET.deb
set -uo pipefail
deb=$(readlink -f "$1")
[ "$(id -u)" -eq 0 ] || { echo "pas root : installation non essayée"; exit 77; }
command -v apt-get >/dev/null 2>&1 || { echo "apt-get absent"; exit 77; }
# One installation at a time on the machine, whoever runs the tests.
exec 9>/tmp/lignado-install-test.lock
flock 9
if dpkg-query -W -f='${Status}' lignado 2>/dev/null | grep -q "ok installed"; then
  echo "un paquet lignado est déjà installé : il est laissé tel quel"
  exit 77
fi
fail=0
say() { echo "$*"; fail=1; }
home=$(mktemp -d)
log="$home/apt.log"
if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$deb" >"$log" 2>&1; then
  cat "$log"
  rm -rf "$home"
  echo "l'installation a échoué"
  exit 1
fi
installed=$(dpkg -L lignado)
cleanup() {
  dpkg -r lignado >/dev/null 2>&1
  rm -rf "$home"
}
trap cleanup EXIT

# A user with nothing of their own: no settings, no templates.
user() { (cd "$home" && env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 "$@"); }
version=$(user lignado-cli --version) || say "lignado-cli --version a échoué"
[ "${version##* }" = "$(dpkg-deb -f "$deb" Version)" ] || say "version : $version"
for tpl in classique parchemin; do
  out=$(user lignado-cli build /usr/share/doc/lignado/examples/famille-exemple.ged \
    --template "$tpl" --out "site-$tpl" 2>&1) || say "build $tpl : $out"
  [ -s "$home/site-$tpl/index.html" ] || say "build $tpl : pas de index.html"
done
# The wizard loads every library it links to, and reads its command line before any window.
wizard=$(user lignado --version 2>&1) || say "lignado --version : $wizard"
[ "${wizard##* }" = "${version##* }" ] || say "lignado dit $wizard"
refused=$(user lignado /usr/share/lignado 2>&1)
[ $? -eq 2 ] && grep -q "^Usage : lignado" <<<"$refused" || say "lignado DOSSIER : $refused"
# Opened with a family file, then closed as a desktop closes it at logout (TERM, once its
# handler is in place): what it remembers goes to the user's folder, never beside the program.
ged=/usr/share/doc/lignado/examples/famille-exemple.ged
(cd "$home" && exec env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
  lignado "$ged" >"$home/wizard.log" 2>&1) &
pid=$!
for _ in $(seq 1200); do
  caught=$(awk '/^SigCgt/ {print $2}' "/proc/$pid/status" 2>/dev/null) || break
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = lignado ] && (((16#$caught & 0x4000) != 0)) && break
  sleep 0.05
done
kill -TERM "$pid" 2>/dev/null
wait "$pid" || say "l'assistant ne s'est pas fermé proprement : $(cat "$home/wizard.log")"
grep -qx "file0=$ged" "$home/.config/lignado/lignado.ini" 2>/dev/null ||
  say "l'assistant n'a pas gardé le fichier ouvert dans ~/.config/lignado/lignado.ini"
missing=$(ldd /usr/bin/lignado /usr/bin/lignado-cli | grep "not found")
[ -z "$missing" ] || say "bibliothèques introuvables : $missing"
# (Read whole before looking: a grep that stops early would break the pipe under pipefail.)
page=$(user env MANWIDTH=100 man lignado-cli 2>&1)
grep -q "lignado-cli build" <<<"$page" || say "man lignado-cli ne rend pas : $page"
page=$(user env MANWIDTH=100 man lignado 2>&1)
grep -q "assistant" <<<"$page" || say "man lignado ne rend pas : $page"
[ -e /usr/bin/lignado.ini ] && say "des paramètres dans /usr/bin"

dpkg -r lignado >/dev/null 2>&1 || say "dpkg -r lignado a échoué"
while IFS= read -r f; do
  [ -f "$f" ] || [ -L "$f" ] || continue
  say "reste après dpkg -r : $f"
done <<<"$installed"
[ -e /usr/share/lignado ] && say "reste après dpkg -r : /usr/share/lignado"
exit $fail
