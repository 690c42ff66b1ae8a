#!/usr/bin/env bash
# cli_docs_test.sh EMBERLINE EMBERLINE_GUI PACKAGING_DIR
#
# Every command, option and exit status the built programs accept (as their
# --help output lists them, walked command by command) must be in their man
# pages, and every command and option must be offered by their bash
# completion. A command or option added later without its documentation fails
# here, naming what is missing. EMBERLINE_GUI may be "" (a build without Qt).
set -uo pipefail

emberline=$1 gui=$2 packaging=$3
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# A man page as the words a reader sees: \- is -, font changes are nothing.
man_text() { sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\(aq/'"'"'/g' "$1"; }
# Whether TEXT holds OPTION as a whole word (--flash is not in --flash-size).
has_option() { grep -Eq -- "(^|[^-A-Za-z0-9])$2([^-A-Za-z0-9]|$)" <<<"$1"; }

# The options in a help text's option lines: "  -d,--device DEV   ..." (CLI11)
# and "  -h, --help   ..." (Qt); the first column ends at two spaces.
help_options() {
  sed -n 's/^  \(-[^ ].*\)$/\1/p' | sed 's/   *.*$//' | grep -Eo -- '(^|[ ,])--?[A-Za-z0-9][-A-Za-z0-9]*' |
    sed 's/^[ ,]//' | sort -u
}
# CLI11's "Subcommands:" section: one name a line.
help_subcommands() { sed -n '/^Subcommands:/,/^$/p' | sed -n 's/^  \([a-z][-a-z0-9]*\) .*/\1/p'; }
# The exit statuses in the help's footer: "  0  success", "  130, 143, 129  stopped ...".
help_statuses() {
  sed -n '/^Exit status:/,/^$/p' | sed -n 's/^  \([0-9][0-9, ]*\)  .*/\1/p' | tr ', ' '\n\n' | grep . | sort -u
}

# The completion function's candidates for a command line whose last word is
# being completed, as bash would call it.
# shellcheck disable=SC1091
. /usr/share/bash-completion/bash_completion || { echo "bash-completion is missing" >&2; exit 1; }
compopt() { :; }  # only valid while bash itself completes
complete_words() {
  local function=$1
  shift
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}"
}

# ------------------------------------------------------------- emberline
page=$(man_text "$packaging/man/emberline.1")
# Where the man page's entries start: ".B list", ".BI "burn " IMAGE", ".BR export" ...
entries=$(sed -n 's/^\.B[IR]\{0,1\} "\{0,1\}\([a-z][-a-z0-9 ]*[a-z0-9]\).*/\1/p' <<<"$page")
exit_section=$(sed -n '/^\.SH EXIT STATUS/,/^\.SH /p' <<<"$page")
declare -A statuses_seen
# shellcheck disable=SC1091
. "$packaging/completion/emberline"

check_command() {  # the words after "emberline", e.g. "sim" "init"
  local help
  help=$("$emberline" "$@" --help) || { fail "emberline $* --help failed"; return; }
  if [ $# -gt 0 ]; then
    grep -Fxq -- "$*" <<<"$entries" || grep -Eq -- "^$*( |$)" <<<"$entries" ||
      fail "emberline(1) has no entry for the command '$*'"
  fi
  local options offered
  options=$(help_options <<<"$help")
  offered=$(complete_words _emberline emberline "$@" -)
  for option in $options; do
    has_option "$page" "$option" || fail "emberline(1) does not describe '$option' (of 'emberline $*')"
    grep -Fxq -- "$option" <<<"$offered" || fail "bash completion does not offer '$option' after 'emberline $*'"
  done
  for status in $(help_statuses <<<"$help"); do
    [ -n "${statuses_seen[$status]:-}" ] && continue
    statuses_seen[$status]=1
    grep -Eq "(^|[^0-9])$status([^0-9]|$)" <<<"$exit_section" ||
      fail "emberline(1) has no exit status $status under EXIT STATUS"
  done
  local subcommands
  subcommands=$(help_subcommands <<<"$help")
  if [ -n "$subcommands" ]; then
    offered=$(complete_words _emberline emberline "$@" "")
    for sub in $subcommands; do
      grep -Fxq -- "$sub" <<<"$offered" || fail "bash completion does not offer the command '$sub' after 'emberline $*'"
      check_command "$@" "$sub"
    done
  fi
}
check_command
[ -n "$("$emberline" --help | help_subcommands)" ] || fail "no commands found in 'emberline --help'"

# --------------------------------------------------------- emberline-gui
if [ -n "$gui" ]; then
  page=$(man_text "$packaging/man/emberline-gui.1")
  # shellcheck disable=SC1091
  . "$packaging/completion/emberline-gui"
  help=$("$gui" --help) || fail "emberline-gui --help failed"
  offered=$(complete_words _emberline_gui emberline-gui -)
  options=$(help_options <<<"$help")
  [ -n "$options" ] || fail "no options found in 'emberline-gui --help'"
  for option in $options; do
    has_option "$page" "$option" || fail "emberline-gui(1) does not describe '$option'"
    grep -Fxq -- "$option" <<<"$offered" || fail "bash completion does not offer '$option' for emberline-gui"
  done
fi

[ "$failures" -eq 0 ] || { echo "$failures missing" >&2; exit 1; }
echo "man pages and completion cover every command and option"
