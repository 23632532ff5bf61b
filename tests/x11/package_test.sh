#!/usr/bin/env bash
# Builds the Debian package of this build tree, checks it with lintian (no
# error, no warning), installs it with dpkg, runs the installed label briefly
# on a private display, purges the package and checks that none of its files
# is left; the user's own settings stay.
#
#   tests/x11/package_test.sh BUILD_DIR
#
# Exit 77 (skipped) when not root, without dpkg, or when a tintora package
# is installed already (it is the user's, and stays untouched).
set -euo pipefail
build=$(cd "${1:?usage: package_test.sh BUILD_DIR}" && pwd)
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

[[ $(id -u) -eq 0 ]] || { echo "package_test: not root, cannot install packages; skipped"; exit 77; }
command -v dpkg >/dev/null || { echo "package_test: no dpkg; skipped"; exit 77; }
if dpkg-query -W -f='${Status}' tintora 2>/dev/null | grep -q 'ok installed'; then
  echo "package_test: a tintora package is installed already; skipped"
  exit 77
fi

work=$build/package-test
rm -rf "$work"
mkdir -p "$work"
state=$work/session/state
label_pid=''
cleanup() {
  [[ -z $label_pid ]] || kill "$label_pid" 2>/dev/null || true
  bash "$repo/scripts/x11-desktop.sh" stop "$state" >/dev/null 2>&1 || true
  # Never leave the package behind, whatever failed.
  if dpkg-query -W -f='${Status}' tintora 2>/dev/null | grep -q 'ok installed'; then
    dpkg --purge tintora >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/cpack" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; echo "package_test: cpack failed" >&2; exit 1; }
deb=$(find "$work/cpack" -maxdepth 1 -name 'tintora_*.deb' | head -n 1)
[[ -n $deb ]] || { echo "package_test: no .deb was made" >&2; exit 1; }
echo "package: $(basename "$deb")"
echo "depends: $(dpkg-deb -f "$deb" Depends)"

# Debian's own checks of a package: no error and no warning (informational
# tags are shown, they do not fail it).
command -v lintian >/dev/null || { echo "package_test: lintian is not installed (scripts/setup.sh)" >&2; exit 1; }
lintian_status=0
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.log" || true
[[ $lintian_status == 0 ]] || { echo "package_test: lintian finds errors or warnings" >&2; exit 1; }
echo "lintian: no error or warning"

dpkg -i "$deb" >"$work/dpkg-install.log" 2>&1 || { cat "$work/dpkg-install.log"; exit 1; }
dpkg-query -L tintora >"$work/files.txt"
version=$(/usr/bin/tintora --version)
expected=$(dpkg-deb -f "$deb" Version)
[[ $version == "tintora $expected" ]] || { echo "package_test: --version says '$version'" >&2; exit 1; }
echo "installed: $version"
for path in /usr/share/man/man1/tintora.1.gz /usr/share/man/man1/tintora-name.1.gz \
  /usr/share/doc/tintora/changelog.gz /usr/share/doc/tintora/copyright \
  /usr/share/applications/tintora.desktop /usr/share/metainfo/example.mossvane.Tintora.metainfo.xml; do
  grep -qxF "$path" "$work/files.txt" || { echo "package_test: the package lacks $path" >&2; exit 1; }
done

# The installed label on a private display: it shows, then SIGTERM ends it
# with status 0 and its settings file in the user's configuration.
bash "$repo/scripts/x11-desktop.sh" start "$state" >/dev/null
display=$(sed -n 's/^DISPLAY=//p' "$state")
home=$work/home
mkdir -p "$home"
DISPLAY=$display HOME=$home XDG_CONFIG_HOME=$home/.config NO_AT_BRIDGE=1 /usr/bin/tintora </dev/null \
  >"$work/label.log" 2>&1 &
label_pid=$!
shown=0
for _ in $(seq 100); do
  # Read whole: grep -q closing the pipe early would fail the pipeline.
  tree=$(DISPLAY=$display xwininfo -root -tree 2>/dev/null) || tree=''
  if [[ $tree == *'"Tintora": ("tintora" "Tintora")'* ]]; then
    shown=1
    break
  fi
  sleep 0.05
done
[[ $shown == 1 ]] || { cat "$work/label.log"; echo "package_test: the installed label did not show" >&2; exit 1; }
kill -TERM "$label_pid"
status=0
wait "$label_pid" || status=$?
label_pid=''
[[ $status == 0 ]] || { echo "package_test: the label ended with status $status" >&2; exit 1; }
settings=$home/.config/tintora/tintora.conf
[[ -f $settings ]] || { echo "package_test: no settings file after SIGTERM" >&2; exit 1; }
echo "ran: the label showed on $display and saved $(tr '\n' ' ' <"$settings")"

dpkg --purge tintora >"$work/dpkg-purge.log" 2>&1 || { cat "$work/dpkg-purge.log"; exit 1; }
left=0
while IFS= read -r path; do
  [[ -n $path && $path != /. ]] || continue
  if [[ -d $path ]]; then
    # A directory of the package's own (not a shared one) must go too.
    case $path in */tintora) echo "left behind: $path"; left=1 ;; esac
  elif [[ -e $path || -L $path ]]; then
    echo "left behind: $path"
    left=1
  fi
done <"$work/files.txt"
[[ $left == 0 ]] || { echo "package_test: files of the package are left after purge" >&2; exit 1; }
[[ -f $settings ]] || { echo "package_test: the purge removed the user's settings" >&2; exit 1; }
echo "purged: none of the $(grep -vc '^/\.$' "$work/files.txt") paths of the package is left; the user's settings stay"
