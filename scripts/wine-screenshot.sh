#!/usr/bin/env bash
# Saves the whole X display $DISPLAY (the Wine test desktop) as a PNG image.
# Usage: wine-screenshot.sh FILE.png
set -euo pipefail
[[ $# -eq 1 ]] || { echo "usage: wine-screenshot.sh FILE.png" >&2; exit 2; }
[[ -n ${DISPLAY:-} ]] || { echo "wine-screenshot: DISPLAY is not set" >&2; exit 2; }
mkdir -p "$(dirname "$1")"
# Write beside the target and rename, so a reader never sees half a file.
tmp="$1.tmp.$$.png"
import -window root -display "$DISPLAY" "$tmp"
mv -f "$tmp" "$1"
