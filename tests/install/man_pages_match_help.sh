#!/bin/sh
# The manual pages against the programs they describe:
#   man_pages_match_help.sh SHEET-PROGRAM WINDOW-PROGRAM THUMBNAILER MAN-FOLDER
# Every flag that `reelcap-sheet --help` lists is described in reelcap-sheet(1),
# and every flag the page describes (its .TP items) is one the program takes;
# the same for the flags of reelcap-thumbnailer's usage line; reelcap(1)
# describes --version, which the window program answers without a display.
# Every page formats without a groff warning.
set -eu
sheet="$1" window="$2" thumbnailer="$3" pages="$4"
fail=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The flags of a --help text: "  -n, --frames <N>  ..." gives -n and --frames.
help_flags() {
  sed -n 's/^  \(-[^ <,]*\(, -[^ <,]*\)*\).*/\1/p' | tr ',' '\n' | tr -d ' ' | sort -u
}
# The flags named in the item tags of a page (the line after each .TP), with
# groff's "\-" read as "-".
page_flags() {
  sed -n '/^\.TP/{n;p;}' "$1" | sed 's/\\-/-/g; s/\\f[BIRP]//g' |
    grep -o -- '\(^\|[ "]\)--*[A-Za-z0-9][A-Za-z0-9-]*' | tr -d ' "' | sort -u
}

QT_QPA_PLATFORM=offscreen "$sheet" --help > "$work/help"
help_flags < "$work/help" > "$work/help_flags"
if [ "$(wc -l < "$work/help_flags")" -lt 10 ]; then
  echo "reelcap-sheet --help lists fewer than 10 flags; the help format changed?"; cat "$work/help"; exit 1
fi
page_flags "$pages/reelcap-sheet.1.in" > "$work/page_flags"
for flag in $(comm -23 "$work/help_flags" "$work/page_flags"); do
  echo "reelcap-sheet(1) does not describe $flag, which --help lists"; fail=1
done
for flag in $(comm -13 "$work/help_flags" "$work/page_flags"); do
  echo "reelcap-sheet(1) describes $flag, which reelcap-sheet does not take"; fail=1
done

# The thumbnailer has no --help: its usage line, printed on bad usage, names
# its flags ("usage: reelcap-thumbnailer -s SIZE [-t SECONDS|PERCENT%] ...").
"$thumbnailer" > /dev/null 2> "$work/usage" && { echo "reelcap-thumbnailer without arguments succeeded"; fail=1; }
sed -n 's/.*usage: reelcap-thumbnailer//p' "$work/usage" | grep -o -- '\(^\| \|\[\)-[A-Za-z0-9-]*' |
  tr -d ' [' | sort -u > "$work/thumbnailer_flags"
[ -s "$work/thumbnailer_flags" ] || { echo "no usage line from reelcap-thumbnailer:"; cat "$work/usage"; fail=1; }
page_flags "$pages/reelcap-thumbnailer.1.in" > "$work/thumbnailer_page_flags"
if ! cmp -s "$work/thumbnailer_flags" "$work/thumbnailer_page_flags"; then
  echo "reelcap-thumbnailer takes $(tr '\n' ' ' < "$work/thumbnailer_flags")but its page describes" \
       "$(tr '\n' ' ' < "$work/thumbnailer_page_flags")"; fail=1
fi

page_flags "$pages/reelcap.1.in" > "$work/window_flags"
grep -qx -- --version "$work/window_flags" || { echo "reelcap(1) does not describe --version"; fail=1; }
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$window" --version > "$work/version" ||
  { echo "reelcap --version failed without a display"; fail=1; }
grep -q '^Reelcap ' "$work/version" || { echo "reelcap --version printed no version"; fail=1; }

for page in reelcap reelcap-sheet reelcap-thumbnailer; do
  # Each page has the sections a user looks for, in the order man(7) gives.
  sections=$(sed -n 's/^\.SH //p' "$pages/$page.1.in" | tr -d '"' | tr '\n' '|')
  case "$sections" in
    "NAME|SYNOPSIS|DESCRIPTION|OPTIONS|"*"EXIT STATUS|FILES|"*"EXAMPLES|"*) ;;
    *) echo "$page(1) lacks a section or has them out of order: $sections"; fail=1 ;;
  esac
  warnings=$(groff -man -Tutf8 -ww -z "$pages/$page.1.in" 2>&1)
  [ -z "$warnings" ] || { echo "$page(1): $warnings"; fail=1; }
done
exit $fail
