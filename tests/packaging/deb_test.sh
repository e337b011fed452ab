#!/usr/bin/env bash
# The Debian package as `cpack -G DEB` makes it from the build: its control
# data (name, version, architecture, Depends computed from the shared
# libraries the installed files use, never on itself) and its contents (the
# programs, the library, the modules, the header, man pages, completion and,
# where the desktop program is built, its entry and icon), all below /usr.
#   deb_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checks=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
expect() {  # expect WHAT TEXT PATTERN: PATTERN (extended regex) matches a line of TEXT
  checks=$((checks + 1))
  grep -Eq -- "$3" <<<"$2" || fail "$1 (no line matches '$3')"
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "0 passed, 1 failed"; exit 1; }
deb=$(ls "$work"/out/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAILED: cpack made no .deb"; cat "$work/cpack.log"; echo "0 passed, 1 failed"; exit 1; }

info=$(dpkg-deb -f "$deb")
expect "package name" "$info" '^Package: tarvio$'
expect "version" "$info" '^Version: [0-9]+\.[0-9]+\.[0-9]+'
expect "architecture" "$info" "^Architecture: $(dpkg --print-architecture)$"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 'libstdc\+\+6' libfftw3-double3 libmatio11 zlib1g; do
  checks=$((checks + 1))
  grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
checks=$((checks + 1))
grep -Eq "(^|, )tarvio( |,|$)" <<<"$depends" && fail "the package depends on itself: $depends"

files=$(dpkg-deb -c "$deb" | awk '{print $6}')
desktop=0
[ -e "$build/bin/tarvio" ] && desktop=1
if [ $desktop = 1 ]; then
  expect "Depends names Qt" "$depends" 'libqt6widgets6'
  for f in usr/bin/tarvio usr/share/applications/tarvio.desktop usr/share/icons/hicolor/256x256/apps/tarvio.png \
    usr/share/man/man1/tarvio.1 'usr/lib/.*tarvio/libtarvio-qtdisplays.so'; do
    expect "the package holds $f" "$files" "^\./$f$"
  done
fi
for f in usr/bin/tarvio-cli usr/bin/tarvio-sim usr/bin/tarvio-unattended 'usr/lib/(.*/)?libtarvio.so.0.*' \
  'usr/lib/(.*/)?tarvio/libhwIO.so' 'usr/lib/(.*/)?tarvio/Orv_ExportMx.so' usr/include/tarvio/tarvio.h \
  'usr/lib/(.*/)?pkgconfig/tarvio.pc' 'usr/lib/(.*/)?cmake/Tarvio/TarvioConfig.cmake' usr/share/man/man1/tarvio-cli.1 \
  usr/share/bash-completion/completions/tarvio-cli usr/share/doc/tarvio/user-guide.md; do
  expect "the package holds $f" "$files" "^\./$f$"
done
checks=$((checks + 1))
outside=$(grep -Ev '^\./(usr(/.*)?)?$' <<<"$files")
[ -z "$outside" ] || fail "files outside /usr: $outside"
if command -v desktop-file-validate >/dev/null && [ $desktop = 1 ]; then
  mkdir -p "$work/x" && dpkg-deb -x "$deb" "$work/x"
  checks=$((checks + 1))
  desktop-file-validate "$work/x/usr/share/applications/tarvio.desktop" >"$work/v" 2>&1 || fail "desktop entry: $(cat "$work/v")"
fi

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
