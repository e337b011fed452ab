#!/usr/bin/env bash
# Installs the build into a scratch folder (DESTDIR and a prefix other than
# the configured one) and uses it from there alone: every ELF file's RUNPATH
# is relative to the file and names nothing of the build or source tree,
# every library the loader resolves for an installed program is the
# installed one, and with a clean environment (no LD_LIBRARY_PATH, a working
# folder elsewhere) the programs calculate, export, verify, plot and download
# to the installed simulated instrument, loading their modules from the
# prefix. A C program (pkg-config) and a C++ program (find_package) build
# against the installed files and run.
#   install_test.sh BUILD_DIR SOURCE_DIR CC CXX [SANITIZER_FLAGS]
set -uo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
cc=$3
cxx=$4
sanflags=${5:-}
failures=0
checks=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
check() {  # check WHAT COMMAND...: the command succeeds
  local what=$1
  shift
  checks=$((checks + 1))
  "$@" >"$work/out" 2>&1 || {
    fail "$what"
    sed 's/^/    /' "$work/out" | tail -20
  }
}

work=$(mktemp -d)
sim=""
trap '[ -n "$sim" ] && kill "$sim" 2>/dev/null; rm -rf "$work"' EXIT
prefix=/opt/tarvio-test
root=$work/dest$prefix
DESTDIR=$work/dest cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "0 passed, 1 failed"; exit 1; }

libdir=$(cd "$root" && ls -d lib*/ lib/*/ 2>/dev/null | while read -r d; do [ -e "$root/$d/libtarvio.so" ] && echo "${d%/}"; done | head -1)
[ -n "$libdir" ] || { echo "FAILED: no libtarvio.so below $root"; echo "0 passed, 1 failed"; exit 1; }
lib=$root/$libdir
desktop=0
[ -e "$build/bin/tarvio" ] && desktop=1

# What must be there.
expected=(bin/tarvio-cli bin/tarvio-sim bin/tarvio-unattended "$libdir/libtarvio.so.0" "$libdir/tarvio/libhwIO.so"
  "$libdir/tarvio/Orv_ExportMx.so" "$libdir/tarvio/libtarviomx.so" include/tarvio/tarvio.h include/tarvio/tarvio_forms.h
  include/tarvio/mxarray.h "$libdir/pkgconfig/tarvio.pc" "$libdir/cmake/Tarvio/TarvioConfig.cmake"
  "$libdir/cmake/Tarvio/TarvioConfigVersion.cmake" share/man/man1/tarvio-cli.1 share/man/man1/tarvio-sim.1
  share/man/man1/tarvio-unattended.1 share/bash-completion/completions/tarvio-cli share/doc/tarvio/user-guide.md
  share/doc/tarvio/README.md)
[ $desktop = 1 ] && expected+=(bin/tarvio "$libdir/tarvio/libtarvio-qtdisplays.so" share/man/man1/tarvio.1
  share/applications/tarvio.desktop share/icons/hicolor/48x48/apps/tarvio.png share/icons/hicolor/256x256/apps/tarvio.png)
for f in "${expected[@]}"; do
  checks=$((checks + 1))
  [ -e "$root/$f" ] || fail "$f is not installed"
done

# RUNPATHs: relative to the file, nothing of the build or the sources; and
# what the loader resolves for each installed ELF file lies in the prefix.
while IFS= read -r -d '' f; do
  head -c 4 "$f" | grep -q $'\x7fELF' || continue
  checks=$((checks + 1))
  rpath=$(readelf -d "$f" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
  IFS=: read -r -a entries <<<"$rpath"
  for e in "${entries[@]}"; do
    [[ $e == '$ORIGIN'* ]] || fail "${f#"$root"/}: RUNPATH entry '$e' is not relative to the file"
    [[ $e == *"$build"* || $e == *"$src"* ]] && fail "${f#"$root"/}: RUNPATH names the build or source tree: $e"
  done
  checks=$((checks + 1))
  deps=$(env -i PATH=/usr/bin:/bin ldd "$f" 2>&1)
  if grep -q "not found" <<<"$deps"; then
    fail "${f#"$root"/}: a library is not found: $(grep 'not found' <<<"$deps" | tr -s ' \t\n' ' ')"
  fi
  while read -r name _ path _; do
    case $name in
      libtarvio* | libhwIO* | libtarviomx*)
        [[ $path == "$root"/* ]] || fail "${f#"$root"/}: $name resolves to $path, not the installed one"
        ;;
    esac
  done <<<"$deps"
done < <(find "$root" -type f -print0)

# The programs from the prefix, with a clean environment (the sanitizer
# options of a sanitizer build pass through) and a working folder elsewhere.
run_dir=$work/run
mkdir -p "$run_dir" "$work/home"
clean=(env -i PATH=/usr/bin:/bin HOME="$work/home" LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen)
for v in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
  [ -n "${!v-}" ] && clean+=("$v=${!v}")
done
in_run() { (cd "$run_dir" && "${clean[@]}" "$@"); }
cli=$root/bin/tarvio-cli
# loaded_from WHAT FILE: the loader's record (LD_DEBUG=files) shows FILE
# opened from the installed module folder, and from nowhere else.
loaded_from() {
  checks=$((checks + 1))
  local paths p
  paths=$(sed -n "s/.*file=\([^ ]*$2\) .*/\1/p" "$work"/ld.* 2>/dev/null | sort -u)
  [ -n "$paths" ] || { fail "$1 ($2) was not loaded"; return; }
  for p in $paths; do
    [ "$(realpath "$p")" = "$(realpath "$lib/tarvio/$2")" ] || fail "$1 was loaded from $p, not $lib/tarvio"
  done
}

check "tarvio-cli --version" in_run "$cli" --version
check "calc --export --dump from the prefix" in_run "$cli" calc --rate 54 --set numberOfPackets=2 --export w.wfm --dump w.mat
check "verify the export file" in_run "$cli" verify w.wfm
check "verify the dump" in_run "$cli" verify w.mat
# The modules are loaded from the prefix: the loader's own record of the
# files it opened (LD_DEBUG) names them there.
check "the export plug-in and transport module load from the prefix" in_run env LD_DEBUG=files \
  LD_DEBUG_OUTPUT="$work/ld" "$cli" calc --rate 11 --export x.wfm
loaded_from "the export plug-in" Orv_ExportMx.so
if [ $desktop = 1 ]; then
  check "plot --png loads the display library from the prefix" in_run "$cli" plot spectrum w.mat --png s.png
  check "the desktop program starts from the prefix" in_run "$root/bin/tarvio" --version
fi

# The Python package from the prefix, where the install rules put it.
pydir=$(find "$root/lib" -path '*-packages/tarvio/__init__.py' 2>/dev/null | head -n1)
if [ -n "$pydir" ] && [ -x /usr/bin/python3 ]; then
  check "import tarvio from the prefix and calculate" in_run env PYTHONPATH="$(dirname "$(dirname "$pydir")")" \
    /usr/bin/python3 -c 'import tarvio; w = tarvio.calculate(tarvio.Parameters(rate=24)); assert len(w.samples) > 0'
fi

# The simulated instrument from the prefix; downloads of a calculation and
# of the export file, and the unattended run.
(cd "$run_dir" && exec "${clean[@]}" "$root/bin/tarvio-sim" --port 0 --store store >"$work/sim.out" 2>&1) &
sim=$!
for _ in $(seq 100); do grep -q '^PORT ' "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^PORT //p' "$work/sim.out")
checks=$((checks + 1))
if [ -z "$port" ]; then
  fail "tarvio-sim did not start: $(cat "$work/sim.out")"
else
  rm -f "$work"/ld.*
  check "download to tarvio-sim" in_run env LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" "$cli" download \
    --address "127.0.0.1:$port" --yes --rate 11
  loaded_from "the transport module" libhwIO.so
  check "download --file of the export file" in_run "$cli" download --file w.wfm --address "127.0.0.1:$port" --yes
  check "the instrument stored the waveforms" test -n "$(ls "$run_dir/store"/*.wfm 2>/dev/null)"
  check "config --save" in_run "$cli" config --set type=TCPIP --set "TCPIP.address=127.0.0.1:$port" --save
  check "calc --save-params" in_run "$cli" calc --save-params WLAN_varsB.mat
  echo "6 2.437 100 2049 0 0 1 2 3 4 1 1 1 1 1 1 1" >"$run_dir/WLAN_varsB.txt"
  check "tarvio-unattended" in_run "$root/bin/tarvio-unattended"
fi

# Programs outside the tree, built against the installed files only.
consumer=$src/tests/packaging/consumer
read -r -a san <<<"$sanflags"
# Compile with --cflags, link with --libs (clang refuses linker inputs on a
# compile-only line under -Werror).
pccflags=$(PKG_CONFIG_PATH=$lib/pkgconfig pkg-config --cflags tarvio)
pclibs=$(PKG_CONFIG_PATH=$lib/pkgconfig pkg-config --libs tarvio)
read -r -a pcc <<<"$pccflags"
read -r -a pc <<<"$pclibs"
# (A sanitizer build's library needs the C++ sanitizer runtime: the C++
# driver links the C program there.)
linker=$cc
[ -n "$sanflags" ] && linker=$cxx
check "a C program builds with pkg-config" "$cc" "${san[@]}" -Wall -Werror -c -o "$work/c_consumer.o" \
  "$consumer/consumer.c" "${pcc[@]}"
check "the C program links with pkg-config" "$linker" "${san[@]}" -o "$work/c_consumer" "$work/c_consumer.o" "${pc[@]}" \
  -Wl,-rpath,"$lib"
check "the C program runs" in_run "$work/c_consumer"
check "a C++ program configures with find_package(Tarvio)" cmake -S "$consumer" -B "$work/cxx" \
  -DCMAKE_PREFIX_PATH="$root" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$sanflags" -DCMAKE_BUILD_TYPE=Release
check "the C++ program builds" cmake --build "$work/cxx"
check "the C++ program runs" in_run "$work/cxx/consumer"

echo "$((checks - failures)) passed, $failures failed"
[ $failures -eq 0 ]
