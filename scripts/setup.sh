#!/usr/bin/env bash
# Installs everything building, testing and packaging Tintora needs on Debian 12.
# Idempotent and quick: apt-get runs only when a package is missing, and only
# then is the package index updated. Non-interactive (CI runs it as root).
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev googletest libbenchmark-dev clang-format-14 shellcheck
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools clang-19 lld-19 llvm-19
  wine wine64 xvfb xdotool x11-utils imagemagick tesseract-ocr icoutils nsis
  zip unzip python3 black pyflakes3 nodejs npm
  pkg-config libx11-dev libxi-dev libxext-dev libgtk-3-dev libcairo2-dev libfreetype-dev
  libxtst-dev openbox dpkg-dev x11-xserver-utils lintian desktop-file-utils appstream strace
)
# The headless Wayland test desktops (scripts/wayland-desktop.sh) and the Wayland
# reader's libraries, without their recommendations (gnome-shell, systemsettings
# and the like, which the tests never start).
wayland_packages=(
  mutter xwayland pipewire wireplumber dbus xdg-desktop-portal xdg-desktop-portal-gnome xinput
  libportal-dev libportal-gtk3-dev libpipewire-0.3-dev gstreamer1.0-pipewire gstreamer1.0-plugins-base
  python3-gi python3-gi-cairo gir1.2-gtk-3.0 gir1.2-gstreamer-1.0 gir1.2-gst-plugins-base-1.0
  kwin-wayland xdg-desktop-portal-kde qtwayland5 plasma-workspace qml-module-qtquick-layouts
  qml-module-qtquick-controls qml-module-qtquick-controls2 qml-module-org-kde-kirigami2
  qml-module-org-kde-pipewire libwayland-dev plasma-wayland-protocols sway xdg-desktop-portal-wlr
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
missing_wayland=()
for p in "${wayland_packages[@]}"; do
  installed "$p" || missing_wayland+=("$p")
done
for p in "${packages[@]}"; do
  installed "$p" && continue
  # Node.js from other repositories (e.g. NodeSource) carries npm itself;
  # Debian's npm package would conflict with it.
  case $p in
    npm) command -v npm >/dev/null && continue ;;
    nodejs) command -v node >/dev/null && continue ;;
  esac
  missing+=("$p")
done

if [[ ${#missing[@]} -eq 0 && ${#missing_wayland[@]} -eq 0 ]]; then
  echo "setup: all $((${#packages[@]} + ${#wayland_packages[@]})) packages present"
  exit 0
fi

echo "setup: installing ${missing[*]} ${missing_wayland[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "setup: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
apt_opts=(-q -y -o DPkg::Lock::Timeout=300)
"${sudo[@]}" apt-get "${apt_opts[@]}" update </dev/null
if [[ ${#missing[@]} -gt 0 ]]; then
  "${sudo[@]}" apt-get "${apt_opts[@]}" install "${missing[@]}" </dev/null
fi
if [[ ${#missing_wayland[@]} -gt 0 ]]; then
  "${sudo[@]}" apt-get "${apt_opts[@]}" install --no-install-recommends "${missing_wayland[@]}" </dev/null
fi

still=()
for p in "${missing[@]}" "${missing_wayland[@]}"; do
  installed "$p" || still+=("$p")
done
if [[ ${#still[@]} -gt 0 ]]; then
  echo "setup: still missing after apt-get: ${still[*]}" >&2
  exit 1
fi
echo "setup: done"
