#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root, checks what it
# installs and starts the installed program offscreen.
# Arguments: build directory, application id, version, source directory.
set -euo pipefail
build=$1 id=$2 version=$3 source=$4
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
app=""
trap '[ -n "$app" ] && kill $app 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/*.deb)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 fonts-ipafont-gothic; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

root=$work/root
dpkg -x "$deb" "$root"
share=$root/usr/share
programs=(orvix-config orvix-ups-sim)
[ -x "$build/bin/orvix-ups" ] && programs+=(orvix-ups)
for program in "${programs[@]}"; do
  [ -x "$root/usr/bin/$program" ] || fail "missing /usr/bin/$program"
  [ -s "$share/man/man1/$program.1" ] || fail "missing the man page of $program"
done
for file in \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/16x16/apps/$id.png share/icons/hicolor/32x32/apps/$id.png \
    share/icons/hicolor/48x48/apps/$id.png share/icons/hicolor/scalable/apps/$id.svg; do
  [ -s "$root/usr/$file" ] || fail "missing /usr/$file"
done
grep -q "<release version=\"$version\"" "$share/metainfo/$id.metainfo.xml" || fail "metainfo release"
# The README shows the icon as exported.
if command -v compare >/dev/null; then
  [ "$(compare -metric AE "$source/docs/icon.png" "$share/icons/hicolor/48x48/apps/$id.png" null: 2>&1)" = 0 ] ||
    fail "docs/icon.png is not the exported 48 px icon"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$share/applications/$id.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" || fail "metainfo"
fi

# The installed program comes up: its platform plugin loaded and its main
# thread waiting in the event loop.
QT_QPA_PLATFORM=offscreen "$root/usr/bin/orvix-config" &
app=$!
for _ in $(seq 1 1000); do
  kill -0 $app 2>/dev/null || fail "orvix-config ended at start"
  if grep -q libqoffscreen /proc/$app/maps && grep -q poll /proc/$app/wchan; then
    kill $app; wait $app || true; app=""
    echo "installed orvix-config started"
    exit 0
  fi
  sleep 0.01
done
fail "orvix-config did not reach its event loop within 10 s"
