#!/usr/bin/env bash
# Checks mp3partwell's manual page and bash completion against the program's --help texts,
# read here with awk, apart from the generator: the page renders with no warning and has
# every section a manual page needs; every command and option that --help lists appears
# in the page under its command, every command has an example, and the completion offers
# every command and option.
#   cli_docs_test.sh PROGRAM PAGE COMPLETION
set -u
program=$1 page=$2 completion=$3
source "$(dirname "$0")/check.sh"

# The names of a help text's entries, split at commas: "commands" and "positionals" are the
# first words of the lines of their sections; "options" are the lines that start with a dash
# two or four spaces in (an option group is indented by two more), outside the examples.
help_names() {  # KIND HELP_TEXT
  awk -v kind="$1" '
    /^[^ ].*:$/ { title = $0; next }
    kind == "commands" && title == "Subcommands:" && /^  [^ ]/ { print $1 }
    kind == "positionals" && title == "Positionals:" && /^  [^ ]/ { print $1 }
    kind == "options" && title !~ /^(Positionals|Subcommands|Examples?):$/ &&
      (/^  -/ || /^    -/) { n = split($1, names, ","); for (i = 1; i <= n; i++) print names[i] }
  ' <<<"$2"
}

# The rendered page's text of one command: from its heading to the next heading.
command_text() {
  awk -v name="$1" '$0 == "   " name {inside = 1; next} /^[^ ]/ || /^   [^ ]/ {inside = 0} inside' \
    <<<"$rendered"
}

has_word() { grep -qE -- "(^|[ ,\[])$1([] ,.=]|$)" <<<"$2"; }

complete_words() {  # WORD... : what the completion offers for the last word
  bash -c 'compopt() { :; }
           source "$1"; shift
           COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _mp3partwell
           printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
}

warnings=$(LC_ALL=C MANWIDTH=100 man --warnings -l "$page" 2>&1 >/dev/null)
check "the page renders with no warning: $warnings" test -z "$warnings"
rendered=$(LC_ALL=C MANWIDTH=100 man -l "$page" 2>/dev/null)
for heading in NAME SYNOPSIS DESCRIPTION OPTIONS COMMANDS "EXIT STATUS" EXAMPLES "SEE ALSO" AUTHORS; do
  check "section $heading" grep -qx "$heading" <<<"$rendered"
done
check "whatis finds the NAME line" bash -c 'lexgrog "$1" | grep -q "mp3partwell - "' _ "$page"
version=$("$program" --version)
check "the page names the version \"$version\"" grep -q "^$version " <<<"$(tail -n 1 <<<"$rendered")"
examples=$(awk '/^EXAMPLES$/ {inside = 1; next} /^[^ ]/ {inside = 0} inside' <<<"$rendered")

main_help=$("$program" --help)
for option in $(help_names options "$main_help"); do
  check "option $option in the page" has_word "$option" "$rendered"
  check "option $option completed" has_word "$option" "$(complete_words mp3partwell -)"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/concert one.mp3"
commands=$(help_names commands "$main_help")
check "--help lists commands" test -n "$commands"
for command in $commands; do
  help=$("$program" "$command" --help)
  text=$(command_text "$command")
  check "command $command in the page" test -n "$text"
  check "command $command completed" has_word "$command" "$(complete_words mp3partwell "")"
  check "an example of $command" grep -qE "^ +mp3partwell $command( |$)" <<<"$examples"
  offered=$(complete_words mp3partwell "$command" -)
  for option in $(help_names options "$help"); do
    [ "$option" = -h ] || [ "$option" = --help ] && continue
    check "$command $option in the page" has_word "$option" "$text"
    check "$command $option completed" has_word "$option" "$offered"
  done
  for argument in $(help_names positionals "$help"); do
    check "$command $argument in the page" has_word "$argument" "$text"
  done
  check "$command completes a file name" \
    grep -qx "$scratch/concert one.mp3" <<<"$(complete_words mp3partwell "$command" "$scratch/conc")"
done

check_summary cli_docs
