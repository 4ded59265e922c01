#!/usr/bin/env bash
# Builds the Debian package the Debian way (dpkg-buildpackage -b over debian/)
# from a copy of the source tree, holds it to lintian (no error, no warning,
# and none of the hardening and strip tags at any level), checks what it
# installs and starts the installed program offscreen.
# Arguments: build directory, application id, version, source directory.
# The copy and its build folder stay in BUILD/package, so a second run
# compiles only what changed.
set -euo pipefail
build=$1 id=$2 version=$3 source=$4
fail() { echo "FAIL: $*"; exit 1; }
for tool in dpkg-buildpackage dh lintian dpkg-deb readelf; do
  command -v $tool >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
done
work=$build/package
src=$work/orvix-config
app=""
trap '[ -n "$app" ] && kill $app 2>/dev/null; rm -rf "$work/root"' EXIT

# The tree as git sees it (tracked and new files, not ignored ones); the
# CMake build folder (obj-*) of the last run is kept.
mkdir -p "$src"
find "$src" -mindepth 1 -maxdepth 1 ! -name 'obj-*' -exec rm -rf {} +
(
  cd "$source"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
      tar --null -T - -cf -
  else
    tar --exclude='./build*' --exclude=./.git -cf - .
  fi
) | tar -xf - -C "$src"

[ "$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)" = "$version" ] ||
  fail "debian/changelog does not start with version $version"
rm -f "$work"/*.deb "$work"/*.buildinfo "$work"/*.changes
start=$(date +%s)
(cd "$src" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -b -us -uc -nc) \
  >"$work/build.log" 2>&1 || { tail -15 "$work/build.log"; fail "dpkg-buildpackage"; }
echo "dpkg-buildpackage took $(($(date +%s) - start)) s"
deb=$work/orvix-config_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

lintian --info --display-level '>=pedantic' "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
! grep -E '^[EW]: ' "$work/lintian.log" >/dev/null || fail "lintian reports errors or warnings"
! grep -E ': (hardening-no-|binary-has-unneeded-section|unstripped-binary)' "$work/lintian.log" ||
  fail "lintian: hardening or strip"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 fonts-ipafont-gothic; do
  [[ "$depends" == *"$lib"* ]] || fail "Depends lacks $lib: $depends"
done

root=$work/root
rm -rf "$root"
dpkg -x "$deb" "$root"
share=$root/usr/share
programs=(orvix-config orvix-ups-sim orvix-ups)
for program in "${programs[@]}"; do
  binary=$root/usr/bin/$program
  [ -x "$binary" ] || fail "missing /usr/bin/$program"
  [ -s "$share/man/man1/$program.1.gz" ] || fail "missing the compressed man page of $program"
  # dpkg-buildflags' hardening (fortified calls, bind-now, PIE, RELRO), and stripped.
  dynamic=$(readelf -d "$binary") segments=$(readelf -lW "$binary") sections=$(readelf -SW "$binary")
  [[ $dynamic == *BIND_NOW* && $dynamic =~ FLAGS_1.*NOW.*PIE ]] || fail "$program: not PIE with bind-now"
  [[ $segments == *GNU_RELRO* ]] || fail "$program: no RELRO"
  [[ $sections != *.symtab* && $sections != *.debug_* ]] || fail "$program: not stripped"
  [[ $(readelf --dyn-syms -W "$binary") =~ __[a-z_]+_chk@ ]] || fail "$program: no fortified call"
done
doc=$share/doc/orvix-config
[ -s "$doc/changelog.gz" ] || fail "missing changelog.gz"
head -1 "$doc/copyright" | grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright is not machine-readable"
for file in \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg \
    share/bash-completion/completions/orvix-ups share/zsh/vendor-completions/_orvix-ups; do
  [ -s "$root/usr/$file" ] || fail "missing /usr/$file"
done
for size in 16 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -s "$png" ] || fail "missing the $size px icon"
  file "$png" | grep -q "PNG image data, $size x $size," || fail "$png: $(file -b "$png")"
done
grep -q "<release version=\"$version\"" "$share/metainfo/$id.metainfo.xml" || fail "metainfo release"
# The README shows the icon as exported.
if command -v compare >/dev/null; then
  [ "$(compare -metric AE "$source/docs/icon.png" "$share/icons/hicolor/48x48/apps/$id.png" null: 2>&1)" = 0 ] ||
    fail "docs/icon.png is not the exported 48 px icon"
fi
desktop-file-validate "$share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" || fail "metainfo"

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
