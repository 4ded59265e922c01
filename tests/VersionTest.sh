#!/usr/bin/env bash
# Every program and man page carries the project's one version.
#   VersionTest.sh BIN_DIR VERSION SOURCE_DIR
set -u
bin=$1 version=$2 src=$3 failed=0
expect() { # what, got, wanted
  if [ "$2" != "$3" ]; then
    echo "$1: got '$2', wanted '$3'"
    failed=1
  fi
}
for program in orvix-config orvix-ups orvix-ups-sim; do
  [ -x "$bin/$program" ] || continue
  expect "$program --version" "$(QT_QPA_PLATFORM=none "$bin/$program" --version 2>&1)" "$program $version"
done
if [ -x "$bin/orvix-config" ]; then
  # --help prints and ends without a display: the platform named here does not exist.
  help=$(QT_QPA_PLATFORM=none "$bin/orvix-config" --help 2>&1)
  expect "orvix-config --help exit" "$?" 0
  expect "orvix-config --help" "$(head -1 <<<"$help")" "Usage: orvix-config [--version | --help]"
fi
for page in "$src"/docs/man/*.1; do
  expect "$(basename "$page")" "$(head -1 "$page" | grep -o '"orvix-config [^"]*"')" "\"orvix-config $version\""
done
exit $failed
