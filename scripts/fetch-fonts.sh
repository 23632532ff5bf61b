#!/usr/bin/env bash
# Fetches the two Encode Sans Condensed faces that the program embeds, from the
# published npm package, and checks them against the pinned SHA-256 hashes.
#
#   scripts/fetch-fonts.sh            fetch and verify only (also compares with
#                                     the committed copies, if present)
#   scripts/fetch-fonts.sh --install  fetch, verify, then copy the two faces and
#                                     the licence into resources/fonts/
#
# The files are never modified: a face whose hash differs is rejected.
set -euo pipefail

PACKAGE='@expo-google-fonts/encode-sans-condensed@0.4.2'
BOLD_PATH='700Bold/EncodeSansCondensed_700Bold.ttf'
BOLD_SHA256='8d049622c7d2791d777b38166720a6adf95e0d411cb043e77d96652c83be9f77'
BLACK_PATH='900Black/EncodeSansCondensed_900Black.ttf'
BLACK_SHA256='d5651998e1c05218e80cf6dad589a68fa3b801d76c97b338b9d1aaee9b406469'
LICENCE_PATH='LICENSE_FONT'

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dest="$repo_root/resources/fonts"

install=0
case "${1:-}" in
  '') ;;
  --install) install=1 ;;
  -h|--help) sed -n '2,10p' "${BASH_SOURCE[0]}"; exit 0 ;;
  *) echo "fetch-fonts.sh: unknown argument '$1' (use --install or nothing)" >&2; exit 2 ;;
esac

for tool in npm tar sha256sum; do
  command -v "$tool" >/dev/null || { echo "fetch-fonts.sh: '$tool' is required" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Fetching $PACKAGE"
(cd "$work" && npm pack --silent "$PACKAGE" >pack-name.txt)
tarball="$work/$(tail -n 1 "$work/pack-name.txt")"
[[ -f "$tarball" ]] || { echo "fetch-fonts.sh: npm pack produced no tarball" >&2; exit 1; }
mkdir "$work/x"
tar -xzf "$tarball" -C "$work/x"
pkg="$work/x/package"

check() { # file expected-hash
  local actual
  actual=$(sha256sum "$1" | cut -d' ' -f1)
  if [[ "$actual" != "$2" ]]; then
    echo "fetch-fonts.sh: hash mismatch for $1" >&2
    echo "  expected $2" >&2
    echo "  actual   $actual" >&2
    return 1
  fi
  echo "ok  $2  $(basename "$1")"
}

check "$pkg/$BOLD_PATH" "$BOLD_SHA256"
check "$pkg/$BLACK_PATH" "$BLACK_SHA256"
[[ -f "$pkg/$LICENCE_PATH" ]] || { echo "fetch-fonts.sh: package carries no $LICENCE_PATH" >&2; exit 1; }

if (( install )); then
  mkdir -p "$dest"
  cp "$pkg/$BOLD_PATH" "$pkg/$BLACK_PATH" "$dest/"
  cp "$pkg/$LICENCE_PATH" "$dest/OFL.txt"
  # Verify what landed, so a failed copy cannot pass silently.
  check "$dest/$(basename "$BOLD_PATH")" "$BOLD_SHA256"
  check "$dest/$(basename "$BLACK_PATH")" "$BLACK_SHA256"
  echo "Installed into $dest"
else
  status=0
  for f in "$BOLD_PATH" "$BLACK_PATH"; do
    committed="$dest/$(basename "$f")"
    if [[ -f "$committed" ]]; then
      if cmp -s "$pkg/$f" "$committed"; then
        echo "same  $(basename "$f") as in resources/fonts/"
      else
        echo "DIFFERS  $(basename "$f") in resources/fonts/ (run with --install)" >&2
        status=1
      fi
    fi
  done
  exit "$status"
fi
