#!/usr/bin/env bash
# Builds the release package:
#   <build>/tintora-<version>-win64.zip   tintora.exe, tintora-name.exe, README.md,
#                                        LICENSE, OFL.txt (the fonts' licence)
#   <build>/tintora-<version>-setup.exe   NSIS installer (Program Files\Tintora)
#   <build>/SHA256SUMS                    the SHA-256 of both, for `sha256sum -c`
# The release is built with the windows-clang preset (clang 19 and lld 19 with
# control-flow guard and stack protection), into build/windows-clang.
# Everything is reproducible: the same commit gives the same bytes, whatever
# the checkout's path and the time of the build.
#
# Usage: scripts/package.sh [--preset P] [--build-dir DIR] [--no-build]
#                           [--tintora EXE] [--tintora-name EXE]
#   --preset P        the configure preset that builds the programs (default windows-clang)
#   --build-dir DIR   the build tree (default build/<preset>)
#   --no-build        package the programs already built (the CTest packaging test does this)
#   --tintora, --tintora-name   the programs to package (default: found in the build tree)
# File times in the archive and the installer are those of the last commit, or
# SOURCE_DATE_EPOCH when it is set.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
repo=$(pwd)

preset=windows-clang
build=''
do_build=1
tintora=''
namer=''
while [[ $# -gt 0 ]]; do
  case $1 in
    --preset) preset=${2:?}; shift 2 ;;
    --build-dir) build=$(realpath -m "${2:?}"); shift 2 ;;
    --no-build) do_build=0; shift ;;
    --tintora) tintora=${2:?}; shift 2 ;;
    --tintora-name) namer=${2:?}; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "package: unknown argument $1 (see --help)" >&2; exit 2 ;;
  esac
done
[[ -n $build ]] || build=$repo/build/$preset

die() { echo "package: $*" >&2; exit 1; }

if [[ $do_build == 1 ]]; then
  bash scripts/setup.sh >/dev/null
  cmake --preset "$preset" -B "$build" >/dev/null
  cmake --build "$build" --target tintora tintora-name -j "${TINTORA_JOBS:-2}"
fi

[[ -f $build/CMakeCache.txt ]] || die "no build tree at $build"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || die "no project version in $build/CMakeCache.txt"

[[ -n $tintora ]] || tintora=$build/windows/tintora.exe
[[ -n $namer ]] || namer=$build/tools/tintora-name.exe
readme=$repo/README.md
licence=$repo/LICENSE
ofl=$repo/resources/fonts/OFL.txt
for f in "$tintora" "$namer" "$readme" "$licence" "$ofl"; do
  [[ -f $f ]] || die "missing $f"
done

name=tintora-$version-win64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage"
cp "$tintora" "$stage/tintora.exe"
cp "$namer" "$stage/tintora-name.exe"
cp "$readme" "$licence" "$ofl" "$stage/"

# Same inputs, same archive: fixed times, modes and order, no extra attributes.
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
[[ $stamp =~ ^[0-9]+$ ]] || die "SOURCE_DATE_EPOCH must be a number of seconds"
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
find "$stage" -exec touch -h -d "@$stamp" {} +
zip_out=$build/$name.zip
rm -f "$zip_out"
(cd "$build/package" && find "$name" -print | LC_ALL=C sort | TZ=UTC zip -q -X -D "$zip_out" -@)
echo "package: $zip_out"

setup_out=$build/tintora-$version-setup.exe
rm -f "$setup_out"
SOURCE_DATE_EPOCH=$stamp makensis -V2 -NOCD "-DVERSION=$version" "-DSTAGE_DIR=$stage" \
  "-DOUT_FILE=$setup_out" scripts/installer.nsi >"$build/package/makensis.log" 2>&1 ||
  { cat "$build/package/makensis.log" >&2; die "makensis failed"; }
echo "package: $setup_out"

(cd "$build" && sha256sum "$name.zip" "tintora-$version-setup.exe" >SHA256SUMS)
echo "package: $build/SHA256SUMS"
sed 's/^/  /' "$build/SHA256SUMS"
