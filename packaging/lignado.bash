# bash completion of lignado, the wizard: a GEDCOM file.
_lignado() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  COMPREPLY=()
  [ "$COMP_CWORD" -eq 1 ] || return
  mapfile -t COMPREPLY < <(compgen -f -X '!*.[gG][eE][dD]' -- "$cur")
  mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -d -- "$cur")
}
complete -o filenames -F _lignado lignado
