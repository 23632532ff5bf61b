#!/usr/bin/env bash
# Installs the release installer silently on the Wine test desktop, gives the
# program the settings and startup entry it would write, uninstalls silently and
# checks that nothing is left - and that an unrelated key of the vendor stays.
# A label running during the uninstall is closed first. Also checks the zip.
# Usage: installer_test.sh SETUP.exe PACKAGE.zip
set -euo pipefail

setup=${1:?setup exe}
zip=${2:?zip}
fail() { echo "FAIL: $*" >&2; exit 1; }
wine_reg() { "$WINE" reg "$@" >/dev/null 2>&1; }
# wait_for SECONDS CONDITION...: polls instead of sleeping a fixed time.
wait_for() {
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# -- the zip: the five files in one top folder
base=$(basename "$zip" .zip)
listed=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
expected="$base/LICENSE $base/OFL.txt $base/README.md $base/tintora-name.exe $base/tintora.exe "
[[ $listed == "$expected" ]] || fail "zip holds '$listed', expected '$expected'"

drive=$WINEPREFIX/drive_c
instdir=$drive/Program\ Files/Tintora
menu=$drive/ProgramData/Microsoft/Windows/Start\ Menu/Programs/Tintora
run_key='HKCU\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tintora'

# -- install
"$WINE" "$setup" /S || fail "the installer failed (exit code $?)"
for f in tintora.exe tintora-name.exe README.md LICENSE OFL.txt uninstall.exe; do
  [[ -f $instdir/$f ]] || fail "not installed: $instdir/$f"
done
[[ -f $menu/Tintora.lnk ]] || fail "no Start menu entry at $menu/Tintora.lnk"
wine_reg query "$uninst_key" /v UninstallString || fail "no uninstall entry in $uninst_key"
cmp -s "$instdir/tintora.exe" "$(dirname "$zip")/package/$base/tintora.exe" ||
  fail "the installed tintora.exe differs from the packaged one"

# -- the installed label runs during the uninstall: it must be closed first, and
#    the position it saves on closing must not survive the uninstall
label_shown() { xwininfo -display "$DISPLAY" -root -tree 2>/dev/null | grep -q '"Tintora": ("tintora.exe"'; }
"$WINE" 'C:\Program Files\Tintora\tintora.exe' </dev/null >/dev/null 2>&1 &
wait_for 30 label_shown || fail "the installed tintora.exe shows no label"

# -- what the program writes while in use, plus a key of another program of the vendor
wine_reg add "$run_key" /v Tintora /d '"C:\Program Files\Tintora\tintora.exe"' /f || fail "reg add Run"
wine_reg add 'HKCU\SOFTWARE\MossVane\Tintora' /v iWindowPosX /t REG_DWORD /d 120 /f || fail "reg add settings"
wine_reg add 'HKCU\SOFTWARE\MossVane\Tintora' /v iWindowPosY /t REG_DWORD /d 80 /f || fail "reg add settings"
wine_reg add 'HKCU\SOFTWARE\MossVane\Other' /v keep /d yes /f || fail "reg add other"

# -- uninstall: NSIS copies the uninstaller away and returns at once, so wait for its effects
"$WINE" 'C:\Program Files\Tintora\uninstall.exe' /S || fail "the uninstaller failed to start"
gone() { [[ ! -e $instdir ]] && ! wine_reg query "$uninst_key"; }
wait_for 60 gone || fail "after 60 s the uninstaller has not removed $instdir and $uninst_key"
[[ ! -e $menu ]] || fail "the Start menu folder is left: $menu"
! label_shown || fail "the running label was not closed"
! wine_reg query "$run_key" /v Tintora || fail "the startup value is left"
! wine_reg query 'HKCU\SOFTWARE\MossVane\Tintora' || fail "the settings key is left"
wine_reg query 'HKCU\SOFTWARE\MossVane\Other' /v keep || fail "the uninstaller removed another program's key"

# -- with the vendor key otherwise empty, it goes too
wine_reg delete 'HKCU\SOFTWARE\MossVane\Other' /f
"$WINE" "$setup" /S || fail "the second install failed"
wine_reg add 'HKCU\SOFTWARE\MossVane\Tintora' /v iWindowPosX /t REG_DWORD /d 1 /f
"$WINE" 'C:\Program Files\Tintora\uninstall.exe' /S || fail "the second uninstall failed to start"
wait_for 60 gone || fail "the second uninstall did not finish"
vendor_gone() { ! wine_reg query 'HKCU\SOFTWARE\MossVane'; }
wait_for 10 vendor_gone || fail "the empty HKCU\\SOFTWARE\\MossVane key is left"

echo "installer OK: installs, uninstalls, leaves nothing"
