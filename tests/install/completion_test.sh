#!/bin/bash
# The bash completion of reelcap-sheet, run as the shell runs it:
#   completion_test.sh COMPLETION-FILE SHEET-PROGRAM MOVIE-FILES-SOURCE
# Each case is the words on the line and the words the completion must offer
# (in any order). The flags come from the program's --help, so they are
# checked against it; the movie extensions against the program's own list.
set -u
completion="$1" program="$2" extensions_source="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/files"
cd "$work/files"
mkdir -p folder/inner "with space"
touch a.mp4 B.MKV clip.webm notes.txt options.lyt 'odd name.mkv' folder/c.mov
# shellcheck source=/dev/null
source "$completion"
fail=0

# expect "WORD WORD ..." WORDS-ON-THE-LINE...: the last word is the one completed.
expect() {
  local want="$1"; shift
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
  COMPREPLY=()
  _reelcap_sheet 2> "$work/stderr"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' '|')
  local wanted
  wanted=$(printf '%s\n' $want | sed '/^$/d; s/_/ /g' | sort | tr '\n' '|')
  if [ "$got" != "$wanted" ] || [ -s "$work/stderr" ]; then
    echo "completing [$*]: got [$got], want [$wanted]"; cat "$work/stderr"; fail=1
  fi
}

# Flags, long and short.
expect "--frames --frames-dir" --fr
expect "--skip-blank --skip-existing" -n 5 --skip
expect "--no-details --no-labels --no-shadow --null" --n
# Values: files, folders, nothing for numbers and sizes; also after "=".
expect "a.mp4 B.MKV clip.webm notes.txt options.lyt odd_name.mkv folder with_space" --options ""
expect "options.lyt" --options opt
expect "options.lyt" --options = opt
expect "folder with_space" --output-dir =
expect "folder with_space" -O ""
expect "folder/inner" --frames-dir folder/
expect "" -n ""
expect "" --tile ""
expect "" --shard ""
# Arguments: movies (any case of the extension) and folders, not other files.
expect "a.mp4 B.MKV clip.webm odd_name.mkv folder with_space" ""
expect "folder/c.mov folder/inner" folder/
expect "a.mp4 B.MKV clip.webm odd_name.mkv folder with_space" --vtt -j 2 ""
# After "--" a word that looks like a flag is a movie name.
expect "" -- --fr

# Every flag of --help completes, and nothing else does.
every=$(QT_QPA_PLATFORM=offscreen "$program" --help | sed -n 's/^  \(-[^ <,]*\(, -[^ <,]*\)*\).*/\1/p' |
  tr ',' '\n' | tr -d ' ' | sort | tr '\n' ' ')
COMP_WORDS=("$program" "-"); COMP_CWORD=1; _reelcap_sheet
offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
[ "$offered" = "$every" ] || { echo "flags offered: $offered"; echo "flags of --help: $every"; fail=1; }

# The movie extensions are the program's.
program_list=$(sed -n '/extensions = {/,/};/p' "$extensions_source" | grep -o '"\.[a-z0-9]*"' | tr -d '".' | sort | tr '\n' ' ')
completion_list=$(printf '%s\n' $_reelcap_sheet_movie_extensions | sort | tr '\n' ' ')
[ "$program_list" = "$completion_list" ] ||
  { echo "movie extensions: program [$program_list], completion [$completion_list]"; fail=1; }

# A program that cannot run offers no flags and prints nothing.
_reelcap_sheet_help_of=""
COMP_WORDS=("$work/missing-program" "--"); COMP_CWORD=1
_reelcap_sheet > "$work/out" 2>&1
[ ${#COMPREPLY[@]} -eq 0 ] && [ ! -s "$work/out" ] || { echo "a missing program: ${COMPREPLY[*]}"; cat "$work/out"; fail=1; }
exit $fail
