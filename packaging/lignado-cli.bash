# bash completion of lignado-cli. Commands, options and option values come from the program's
# own help texts, so new ones are completed without a change here.

# The template names: folders of the user's templates, then those beside the program and in
# its installed share folder.
_lignado_cli_templates() {
  local prog root d roots=("${XDG_DATA_HOME:-$HOME/.local/share}/lignado/modele")
  if prog=$(command -v -- "$1" 2>/dev/null) && prog=$(readlink -f -- "$prog"); then
    roots+=("${prog%/*}/modele" "${prog%/*}/../share/lignado/modele")
  fi
  for root in "${roots[@]}"; do
    for d in "$root"/*/; do
      [ -d "$d" ] || continue
      d=${d%/}
      printf '%s\n' "${d##*/}"
    done
  done | sort -u
}

_lignado_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local prog=${COMP_WORDS[0]} cmd=${COMP_WORDS[1]} usage arg
  COMPREPLY=()
  if [ "$COMP_CWORD" -eq 1 ]; then
    mapfile -t COMPREPLY < <(compgen -W "$("$prog" --help 2>/dev/null |
      sed -n 's/^  \([a-z][a-z-]*\)  .*/\1/p') --help --version" -- "$cur")
    return
  fi
  usage=$("$prog" "$cmd" --help 2>/dev/null)
  if [[ $prev == --* ]]; then
    # The option's value as its usage names it: "--tls auto|require|off", "--out DOSSIER".
    arg=$(printf '%s\n' "$usage" | grep -o -- "\[$prev [^] ]*" | head -n 1)
    arg=${arg#"[$prev "}
    if [ -n "$arg" ]; then
      case $arg in
        *[a-z]*\|*) mapfile -t COMPREPLY < <(compgen -W "${arg//|/ }" -- "$cur") ;;
        NOM\|DOSSIER)
          mapfile -t COMPREPLY < <(compgen -W "$(_lignado_cli_templates "$prog")" -- "$cur")
          mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -d -- "$cur") ;;
        DOSSIER) mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
      esac
      return
    fi
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(printf '%s\n' "$usage" |
      grep -o -- '--[a-z][a-z-]*' | sort -u)" -- "$cur")
  elif [ "$cmd" = upload ]; then
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
  else
    mapfile -t COMPREPLY < <(compgen -f -X '!*.[gG][eE][dD]' -- "$cur")
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -d -- "$cur")
  fi
}
complete -o filenames -F _lignado_cli lignado-cli
