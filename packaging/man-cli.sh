#!/bin/sh
# Writes the manual page lignado-cli(1) from the program's own help texts (`lignado-cli --help`
# and `lignado-cli COMMANDE --help` for each command that it lists), so that they cannot drift.
# Usage: man-cli.sh PROGRAMME VERSION SORTIE
set -eu
prog=$1
version=$2
out=$3
tmp="$out.tmp"

# Help text as roff lines kept as they are: "\" written \e, "-" a minus sign, quotes as typed,
# a line that starts with "." or "'" guarded by \&.
roff() {
  sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/'/\\\\(aq/g" -e 's/`/\\(ga/g' -e 's/^\([.]\)/\\\&\1/'
}

help=$(LC_ALL=C.UTF-8 "$prog" --help)
commands=$(printf '%s\n' "$help" | sed -n 's/^  \([a-z][a-z-]*\)  .*/\1/p')
[ -n "$commands" ] || { echo "man-cli.sh: aucune commande dans l'aide de $prog" >&2; exit 1; }

{
  printf '%s\n' '.\" -*- coding: UTF-8 -*-'
  printf '%s\n' '.\" Made by packaging/man-cli.sh from the help texts of lignado-cli.'
  printf '.TH LIGNADO\\-CLI 1 "" "Lignado %s" "Commandes utilisateur"\n.nh\n' "$version"
  printf '%s\n' '.SH NOM' \
    'lignado\-cli \- publier un arbre généalogique GEDCOM sur le web, en ligne de commande'
  printf '%s\n' '.SH SYNOPSIS' '.nf'
  printf '%s\n' "$help" | roff
  printf '%s\n' '.fi' '.SH DESCRIPTION'
  printf '%s\n' 'Lit un fichier GEDCOM, construit le site web de la famille avec un modèle de' \
    'pages et l'\''envoie par FTP, comme l'\''assistant' '.BR lignado (1).' \
    'Tout ce que l'\''outil dit est en français ; il ne lit aucun fichier de paramètres.'
  printf '%s\n' '.SH COMMANDES'
  for c in $commands; do
    printf '.SS %s\n.nf\n' "$c"
    LC_ALL=C.UTF-8 "$prog" "$c" --help | roff
    printf '%s\n' '.fi'
  done
  printf '%s\n' '.SH FICHIERS' \
    '.TP' '.I /usr/share/lignado/modele/' 'les modèles livrés (classique, parchemin) ;' \
    '.TP' '.I ~/.local/share/lignado/modele/' \
    'les modèles de l'\''utilisateur (\fB$XDG_DATA_HOME/lignado/modele/\fR), cherchés d'\''abord.' \
    '.TP' '.I /usr/share/doc/lignado/modeles.md' 'le guide des auteurs de modèles.'
  printf '%s\n' '.SH "VOIR AUSSI"' '.BR lignado (1)'
} >"$tmp"
mv "$tmp" "$out"
