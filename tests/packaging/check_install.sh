#!/usr/bin/env bash
# Installs Panelwright into a temporary root and runs the installed programs from there.
#   check_install.sh --cmake-install BUILD_DIR   cmake --install BUILD_DIR --prefix ROOT/usr
#   check_install.sh --deb PACKAGE.deb           dpkg -x PACKAGE.deb ROOT (the window program too)
set -euo pipefail
fail() { echo "check_install: $*" >&2; exit 1; }
[ $# -eq 2 ] || fail "usage: check_install.sh --cmake-install BUILD_DIR | --deb PACKAGE.deb"
mode=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
case $mode in
  --cmake-install) "${CMAKE:-cmake}" --install "$2" --prefix "$root/usr" >/dev/null ;;
  --deb) dpkg -x "$2" "$root" ;;
  *) fail "unknown mode $mode" ;;
esac
usr=$root/usr
share=$usr/share

cli=$usr/bin/panelwright-cli
[ -x "$cli" ] || fail "bin/panelwright-cli is missing"
# Each output is read whole before it is searched: grep -q stops reading at the first match, and
# under pipefail the writer's broken pipe would count as a failure.
grep -q '^  compose ' <<<"$("$cli" --help)" || fail "panelwright-cli --help lists no compose command"
grep -q -- '--system FILE' <<<"$("$cli" compose --help)" || fail "panelwright-cli compose --help lists no --system"
grep -q '^Licence GPL-2.0-or-later' <<<"$("$cli" --version)" || fail "panelwright-cli --version names no licence"
for skin in blue forest night; do
  for ext in bmp png; do
    [ -s "$share/panelwright/skins/$skin.$ext" ] || fail "sample skin $skin.$ext is missing"
  done
done
# Composed from an installed skin, in another folder than the project.
(cd "$root" && "$cli" compose --system "$share/panelwright/skins/night.png" --trans FF00FF \
  --text 'Installed \C[2]here\C[0] $A' --margin 4 -o win.bmp)
[ "$(head -c 2 "$root/win.bmp")" = BM ] || fail "compose wrote no BMP file"
read -r width height bits _ < <("$cli" info "$root/win.bmp")
[ "$bits" = 24 ] && [ "$width" -gt 8 ] && [ "$height" -gt 8 ] || fail "composed window is $width x $height x $bits"
# The installed sample face sheet: a face makes the window 64 pixels high.
(cd "$root" && "$cli" compose --face "$share/panelwright/faces/faces.png:5" --pause-arrow --text 'Hi' -o face.bmp)
read -r width height bits _ < <("$cli" info "$root/face.bmp")
[ "$height" = 64 ] || fail "the window with an installed face is $width x $height"

for page in panelwright-cli panelwright; do
  [ "$page" = panelwright ] && [ "$mode" != --deb ] && [ ! -e "$usr/bin/panelwright" ] && continue
  file=$share/man/man1/$page.1.gz
  gzip -t "$file" || fail "manual page $page.1.gz is missing or broken"
  grep -q '^\.SH NAME' <<<"$(zcat "$file")" || fail "manual page $page has no NAME section"
done
# The copyright file licenses Panelwright's own files under the GPL, version 2 or later.
awk '/^Files: \*$/ { files = 1; next } files && /^License: / { print $2; exit }' "$share/doc/panelwright/copyright" |
  grep -qx 'GPL-2+' || fail "the copyright file does not license Files: * under GPL-2+"
cli_page=$(zcat "$share/man/man1/panelwright-cli.1.gz")
grep -q '^\\fB\\-\\-trans\\-at\\fR X,Y' <<<"$cli_page" || fail "the manual page of panelwright-cli lacks compose's --trans-at"
# Every command of the installed program's --help has its section in the page.
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]*\) .*/\1/p')
[ -n "$commands" ] || fail "panelwright-cli --help lists no commands"
for command in $commands; do
  grep -qx ".SH \"PANELWRIGHT-CLI ${command^^}\"" <<<"$cli_page" || fail "the manual page of panelwright-cli has no section for $command"
done

if [ "$mode" = --deb ] || [ -e "$usr/bin/panelwright" ]; then
  [ -x "$usr/bin/panelwright" ] || fail "bin/panelwright is missing"
  # The window takes only a skin file: an option is a usage error that shows the usage text.
  status=0
  usage=$(QT_QPA_PLATFORM=offscreen "$usr/bin/panelwright" --help 2>&1 >/dev/null) || status=$?
  [ "$status" = 2 ] && grep -q '^usage: panelwright \[SKIN\]' <<<"$usage" || fail "panelwright --help is not a usage error"
  # The version and licence, without a display.
  grep -q '^Licence GPL-2.0-or-later' <<<"$(env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/panelwright" --version)" ||
    fail "panelwright --version names no licence"
  desktop=$share/applications/io.github.panelwright.Panelwright.desktop
  metainfo=$share/metainfo/io.github.panelwright.Panelwright.metainfo.xml
  grep -q '^Exec=panelwright %f$' "$desktop" || fail "the desktop entry does not open files"
  grep -q '^MimeType=image/bmp;image/png;$' "$desktop" || fail "the desktop entry lacks the picture types"
  [ -s "$metainfo" ] || fail "AppStream metadata is missing"
  grep -q '<project_license>GPL-2.0-or-later</project_license>' "$metainfo" || fail "the AppStream metadata names no licence"
  for size in 16 32 48 64 128 256; do
    [ -s "$share/icons/hicolor/${size}x${size}/apps/panelwright.png" ] || fail "icon ${size}x${size} is missing"
  done
  [ -s "$share/icons/hicolor/scalable/apps/panelwright.svg" ] || fail "scalable icon is missing"
  if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi
  if command -v appstreamcli >/dev/null; then
    report=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "the AppStream metadata is not valid: $report"
  fi
fi
echo "check_install: installed programs run from $mode"
