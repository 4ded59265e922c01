#!/usr/bin/env bash
# The Windows installer under Wine: built with CPack, installed silently, its
# files and Start-menu entry checked, the installed program asked for its
# version and started until its first window shows, then uninstalled silently
# with nothing left behind.
# Needs the Wine session of ./test --windows (WINEPREFIX, DISPLAY).
# Arguments: build directory, version.
set -euo pipefail
build=$1 version=$2
command -v makensis >/dev/null || { echo "SKIP: makensis is not installed"; exit 77; }
[ -n "${WINEPREFIX:-}" ] || { echo "SKIP: no Wine session"; exit 77; }
WINE=/usr/lib/wine/wine64
work=$(mktemp -d)
app=""
trap '[ -n "$app" ] && kill $app 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Waits up to a minute for a condition on what Wine does on its own time.
wait_for() {
  for _ in $(seq 600); do
    eval "$1" && return 0
    sleep 0.1
  done
  return 1
}

cpack -G "NSIS;ZIP" -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
installer=$work/orvix-config-$version-windows-x64.exe
zip=$work/orvix-config-$version-windows-x64.zip
[ -s "$installer" ] && [ -s "$zip" ] || fail "no installer or zip: $(ls "$work")"
echo "installer $(stat -c %s "$installer") bytes, zip $(stat -c %s "$zip") bytes"

files=(orvix-config.exe orvix-ups.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll
  libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll
  licenses/README.txt licenses/LGPL-3.0-only.txt licenses/qt6-base-copyright.txt)
listing=$(unzip -Z1 "$zip")
for f in "${files[@]}"; do
  grep -qxF "$f" <<<"$listing" || fail "the zip lacks $f"
done
# A window program: no console opens beside it (PE subsystem 2, Windows GUI).
# (Whole outputs are read: a grep that stops early would break the pipe.)
headers=$(x86_64-w64-mingw32-objdump -p "$build/bin/orvix-config.exe")
grep -q '^Subsystem.*0*2.*(Windows GUI)' <<<"$headers" ||
  fail "orvix-config.exe is not a GUI-subsystem program"
# The version resource carries the project's version.
texts=$(strings -el "$build/bin/orvix-config.exe")
grep -A1 -x FileVersion <<<"$texts" | grep -qx "$version" ||
  fail "no FileVersion $version in the version resource"

root="$WINEPREFIX/drive_c"
dir="$root/Program Files/Orvix UPS"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvix UPS'
menu="$root/ProgramData/Microsoft/Windows/Start Menu/Programs"
# What an earlier run that stopped half way left: the installer would ask to
# remove that installation, and fail to without its uninstaller.
rm -rf "$dir" "$menu"/"Orvix UPS"*
"$WINE" reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
"$WINE" "$installer" /S || fail "the installer failed"
wait_for '[ -f "$dir/Uninstall.exe" ]' || fail "nothing installed in $dir"
for f in "${files[@]}" Uninstall.exe; do
  [ -s "$dir/$f" ] || fail "missing $dir/$f"
done
"$WINE" reg query "$uninstall_key" >/dev/null 2>&1 || fail "no entry under Programs and Features"
shortcut=$(find "$menu" -name 'Orvix UPS 設定.lnk' 2>/dev/null || true)
[ -n "$shortcut" ] || fail "no Start-menu entry \"Orvix UPS 設定\""

# The installed program finds its DLLs beside it: it starts and prints its version.
printed=$(WINEPATH= "$WINE" "$dir/orvix-config.exe" --version | tr -d '\r')
[ "$printed" = "orvix-config $version" ] || fail "the installed orvix-config printed \"$printed\""
echo "installed $printed"
printed=$(WINEPATH= "$WINE" "$dir/orvix-ups.exe" --version | tr -d '\r')
[ "$printed" = "orvix-ups $version" ] || fail "the installed orvix-ups printed \"$printed\""
# And its platform plugin: its first window shows.
if [ -n "${DISPLAY:-}" ] && command -v xdotool >/dev/null; then
  WINEPATH= QT_QPA_PLATFORM=windows "$WINE" "$dir/orvix-config.exe" &
  app=$!
  wait_for 'xdotool search --name "^INPUT VOLTAGE\$" >/dev/null' ||
    fail "the installed orvix-config showed no window"
  kill $app
  wait $app 2>/dev/null || true
  app=""
  echo "installed orvix-config started"
fi

"$WINE" "$dir/Uninstall.exe" /S || fail "the uninstaller failed"
# The uninstaller runs from a copy of itself and ends after the files are gone.
wait_for '[ ! -e "$dir" ] && [ ! -e "$(dirname "$shortcut")" ] && ! "$WINE" reg query "$uninstall_key" >/dev/null 2>&1' ||
  fail "left behind: $(find "$dir" "$shortcut" 2>/dev/null) $("$WINE" reg query "$uninstall_key" 2>&1)"
echo "installed and uninstalled"
