#!/usr/bin/env bash
# Writes a program's manual page with help2man from the program's own --help, so the two cannot
# drift apart:
#   man_page.sh PROGRAM NAME VERSION INCLUDE SOURCE OUT
# PROGRAM is the executable that prints the help, NAME the program's name in the page, INCLUDE
# the page's own sections (help2man's include format), SOURCE the footer ("Panelwright 0.1").
# Every command that `PROGRAM --help` lists under "Commands:" gets a section of its own, written
# by help2man from `PROGRAM COMMAND --help` into a second include file. OUT is gzip-compressed;
# it is written beside OUT and renamed into place, so a failed run leaves no page behind.
set -euo pipefail
fail() { echo "man_page.sh: $*" >&2; exit 1; }
[ $# -eq 6 ] || fail "usage: man_page.sh PROGRAM NAME VERSION INCLUDE SOURCE OUT"
program=$1 name=$2 version=$3 include=$4 source=$5 out=$6
[ -x "$program" ] || fail "$program is not a program"
[ -r "$include" ] || fail "cannot read $include"
help2man=${HELP2MAN:-help2man}
command -v "$help2man" >/dev/null || fail "help2man is not installed"

work=$(mktemp -d)
trap 'rm -rf "$work" "$out.tmp"' EXIT

# help2man takes the synopsis from "Usage:" lines with every form on one line, later forms
# starting "or:". The programs print "usage:" with long forms wrapped onto indented lines, so a
# wrapper joins a wrapped line to the one before it and marks a line that starts with the
# program's name again as another form.
cat >"$work/help" <<EOF
#!/usr/bin/env bash
set -o pipefail
$(printf '%q' "$program") "\$@" | awk -v name=$(printf '%q' "$name") '
  usage && /^ *\$/ { print line; usage = 0 }
  usage { sub(/^ +/, ""); if (index(\$0, name " ") == 1) { print line; line = "   or: " \$0 } else line = line " " \$0; next }
  /^usage: / { usage = 1; line = "Usage: " substr(\$0, 8); next }
  { print }
  END { if (usage) print line }'
EOF
chmod +x "$work/help"

# help2man reads the help whatever the program's exit status; a help that fails is an error here.
help_of() { # ARGUMENTS...
  "$work/help" "$@" --help >/dev/null || fail "$name $* --help failed"
}

page() { # OUTPUT [help2man options...]
  local output=$1; shift
  "$help2man" --no-info --version-string="$name $version" --source="$source" \
    --manual="User Commands" --output="$output" "$@" "$work/help" ||
    fail "help2man could not write the page of $name $*"
}

# One include section per command: its synopsis and description as help2man writes them.
help_of
commands=$("$work/help" --help | awk '/^Commands:/ { on = 1; next } on && /^ *$/ { exit } on { print $1 }')
: >"$work/commands.h2m"
for command in $commands; do
  help_of "$command"
  page "$work/$command.1" --name="$command" --help-option="$command --help"
  {
    echo "[$(tr '[:lower:]' '[:upper:]' <<<"$name $command")]"
    # Everything after NAME: the synopsis, a paragraph break, the description; any further
    # section of the command's page becomes a subsection.
    awk '/^\.SH / { on = $2 != "NAME"; if ($2 == "SYNOPSIS") next; if ($2 == "DESCRIPTION") { print ".PP"; next }
                     sub(/^\.SH/, ".SS") }
         on' \
      "$work/$command.1"
  } >>"$work/commands.h2m"
done

includes=(--include="$include")
[ -s "$work/commands.h2m" ] && includes=(--include="$work/commands.h2m" "${includes[@]}")
page "$work/page.1" "${includes[@]}"
gzip -9nc "$work/page.1" >"$out.tmp"
mv "$out.tmp" "$out"
