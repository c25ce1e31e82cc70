#!/usr/bin/env bash
# Takes a screenshot of the main window under Xvfb into docs/main-window.png.
# Usage: scripts/screenshot.sh [output.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/main-window.png}
build=${QP_BUILD_DIR:-$root/build}
command -v import >/dev/null || { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends imagemagick; }
[ -x "$build/bin/quirepress" ] || "$root/scripts/build.sh"

# A private settings folder that already knows the PDF print server, so no first-run
# question covers the window.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.config/Quirepress"
printf '[Settings]\nAcrobat=%s\nAcroCancelled=0\n' "$build/bin/quirepress-pdf-server" \
    >"$home/.config/Quirepress/Quirepress.conf"

mkdir -p "$(dirname "$out")"
HOME="$home" XDG_CONFIG_HOME="$home/.config" xvfb-run -a -s "-screen 0 640x480x24" \
    bash -c '"$1" & pid=$!; sleep 3; import -window root -crop 430x400+105+40 "$2"; kill $pid' \
    _ "$build/bin/quirepress" "$out"
echo "Screenshot: $out"
