#!/usr/bin/env bash
# Runs packaging/man_page.sh on small stand-in programs and checks the pages it writes.
set -euo pipefail
script=$(cd "$(dirname "$0")/../../packaging" && pwd)/man_page.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[NAME]\nfake \\- a stand-in\n' >"$work/fake.h2m"

main_help='usage: fake COMMAND [--alpha A]
    [--beta B]
       fake --gamma

Commands:
  paint      paints
  erase      erases

Does things.
'
paint_help='usage: fake paint [--red]

  --red      paint in red
'
erase_help='usage: fake erase [--all]

  --all      erase everything
'

# stand_in STATUS: a program "fake" that prints the helps above and exits with STATUS after
# "erase --help" (0 otherwise); with STATUS "plain" its --help lists no commands.
stand_in() {
  local bin=$work/bin/$1
  mkdir -p "$bin"
  {
    echo '#!/usr/bin/env bash'
    printf 'case "$*" in\n'
    if [ "$1" = plain ]; then
      printf '  --help) printf %%s %q ;;\n' "usage: fake [FILE]"$'\n\n'"Does plain things."$'\n'
    else
      printf '  --help) printf %%s %q ;;\n' "$main_help"
    fi
    printf '  "paint --help") printf %%s %q ;;\n' "$paint_help"
    printf '  "erase --help") printf %%s %q; exit %s ;;\n' "$erase_help" "$([ "$1" = plain ] && echo 0 || echo "$1")"
    echo '  *) exit 2 ;;'
    echo 'esac'
  } >"$bin/fake"
  chmod +x "$bin/fake"
  echo "$bin/fake"
}

passed=0 failed=0
# Each row: what is checked | the stand-in's status | what the page holds (grep -F), or FAIL when
# the script must fail and leave no page.
rows=(
  "a wrapped usage line is one synopsis form|0|\\fI\\,COMMAND \\/\\fR[\\fI\\,--alpha A\\/\\fR] [\\fI\\,--beta B\\/\\fR]"
  "a usage line that names the program again is a second form|0|.br
.B fake
\\fI\\,--gamma\\/\\fR"
  "every listed command has its own section|0|.SH \"FAKE PAINT\""
  "the last listed command has its section with its options|0|.SH \"FAKE ERASE\""
  "a command's options are definitions|0|\\fB\\-\\-all\\fR"
  "a command whose --help fails fails the page|1|FAIL"
  "a program without commands has its page|plain|.SH DESCRIPTION
Does plain things."
)
for row in "${rows[@]}"; do
  IFS='|' read -r -d '' what status expected <<<"$row" || true
  expected=${expected%$'\n'}
  program=$(stand_in "$status")
  out=$work/page-$status.1.gz
  rm -f "$out"
  ok=0
  if bash "$script" "$program" fake 1.0 "$work/fake.h2m" "Fake 1.0" "$out" 2>"$work/stderr"; then
    [ "$expected" != FAIL ] && zcat "$out" | tr '\n' '\r' | grep -qF "$(printf %s "$expected" | tr '\n' '\r')" && ok=1
  else
    [ "$expected" = FAIL ] && [ ! -e "$out" ] && [ -s "$work/stderr" ] && ok=1
  fi
  if [ "$ok" = 1 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what" >&2
    [ -e "$out" ] && zcat "$out" >&2
    cat "$work/stderr" >&2
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
