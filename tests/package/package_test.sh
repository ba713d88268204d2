#!/usr/bin/env bash
# package_test.sh BUILD_DIR SOURCE_DIR
#
# Makes the Debian package from a finished build, unpacks it into a temporary
# root and checks it there: the launchers run (keplin --version, keplin
# adapters), the example builds against the unpacked header and pkg-config
# file and opens the search dialog, and lintian, appstreamcli,
# desktop-file-validate and man find nothing wrong. Runs inside an empty
# network namespace with a virtual display (tests/run-isolated.sh --xvfb), so
# nothing it starts can reach a network.
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

for tool in cpack dpkg-deb lintian appstreamcli desktop-file-validate man pkg-config c++; do
  command -v "$tool" >/dev/null || { echo "package_test: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d /tmp/package_test.XXXXXX)
trap 'rm -rf "$work"' EXIT
root=$work/root

# The package.
if ! cpack -G DEB -B "$work/cpack" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "package_test: cpack failed" >&2
  exit 1
fi
deb=$(find "$work/cpack" -maxdepth 1 -name 'keplin_*.deb' | head -n 1)
[ -n "$deb" ] || { echo "package_test: cpack made no keplin_*.deb" >&2; exit 1; }
echo "package: $(basename "$deb")"
dpkg-deb -x "$deb" "$root"

# Dependencies: computed from the binaries, plus the two listed by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libwxgtk3.2 libsqlite3 libc6 fonts-wqy-microhei xdg-utils; do
  case "$depends" in
    *"$dep"*) ;;
    *) fail "Depends lacks $dep: $depends" ;;
  esac
done

# Every launcher is a relative link into the kit folder and has a manual page
# without warnings.
for name in keplin keplin-camsim keplin-reg regsvr32 ocxhost tavrinsetup keplin-search; do
  link=$root/usr/bin/$name
  target=$(readlink "$link" || true)
  case "$target" in
    ../lib/keplin/*) [ -x "$root/usr/bin/$target" ] || fail "$name points to missing $target" ;;
    *) fail "$name is not a relative link into the kit folder: '$target'" ;;
  esac
  page=$root/usr/share/man/man1/$name.1.gz
  if [ ! -f "$page" ]; then
    fail "no manual page for $name"
  elif ! gzip -t "$page"; then
    fail "$name.1.gz is not gzip"
  else
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || echo "man failed")
    [ -z "$warnings" ] || fail "man warns about $name.1: $warnings"
  fi
done
pass "launchers and manual pages"

# The kit folder is whole, and no installed binary looks for libraries in the
# build folder.
kit=$root/usr/lib/keplin
for file in TavrinSetup searchhost keplin libKeplinLib.so libLumora.so Language.ini lang_cn.ini lang_en.ini \
  lang_tw.ini Installocx/KeplinOcx_cn.ocx Installocx/KeplinOcx_en.ocx Installocx/ocx_L/Ombrel.ocx \
  Installocx/ocx_M/Halvix.ocx "Users manual/User Manual.pdf" "Acrobat reader/AdbeRdr-en.exe"; do
  [ -f "$kit/$file" ] || fail "kit folder lacks $file"
done
while IFS= read -r -d '' elf; do
  runpath=$(readelf -d "$elf" | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')
  [ -z "$runpath" ] || [ "$runpath" = '$ORIGIN' ] || fail "$elf has run path $runpath"
done < <(find "$kit" -type f \( -name '*.so' -o -name '*.ocx' -o -perm -u+x \) ! -name '*.exe' -print0)
pass "kit folder"

# The command-line tool from the unpacked root.
version=$("$root/usr/bin/keplin" --version 2>&1) || fail "keplin --version exits $?"
[ "$version" = "keplin 1.0.0" ] || fail "keplin --version says '$version'"
"$root/usr/bin/keplin" adapters >"$work/adapters.txt" 2>&1 || fail "keplin adapters: $(cat "$work/adapters.txt")"
pass "keplin --version, keplin adapters"

# The example, built against the unpacked header and pkg-config file: the
# prefix moves to the temporary root (run path included).
pcdir=$(dirname "$(find "$root/usr/lib" -name keplinlib.pc | head -n 1)")
[ -f "$pcdir/keplinlib.pc" ] || fail "no keplinlib.pc"
[ -f "$root/usr/include/keplin/keplinlib.h" ] || fail "no keplin/keplinlib.h"
flags=$(PKG_CONFIG_PATH=$pcdir pkg-config --define-variable=prefix="$root/usr" --cflags --libs keplinlib)
# shellcheck disable=SC2086  # the flags are words on purpose
if c++ -std=c++17 -Wall -Wextra -Werror -o "$work/search_button" "$source/docs/example/search_button.cpp" $flags \
  >"$work/example.log" 2>&1; then
  out=$(timeout 30 "$work/search_button" --open --quit 2>&1) || fail "the example exits $?: $out"
  case "$out" in
    *CRITICAL* | *WARNING*) fail "the example's toolkit complains: $out" ;;
    *"search dialog shown"*) pass "example" ;;
    *) fail "the example did not show the dialog: $out" ;;
  esac
else
  fail "the example does not build: $(cat "$work/example.log")"
fi

# Desktop entries and AppStream metadata.
for id in org.keplin.TavrinSetup org.keplin.KeplinSearch; do
  desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate $id"
  appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "appstreamcli validate $id: $(cat "$work/as.log")"
  for size in 16 32 48 64 128 256; do
    [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" ] || fail "no ${size}px icon for $id"
  done
done
pass "desktop entries, metadata, icons"

# lintian: errors fail the test; warnings are shown.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
grep -v 'root privileges' "$work/lintian.log" || true
if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors"; else pass "lintian"; fi

if [ "$failures" -ne 0 ]; then
  echo "package_test: $failures failure(s)" >&2
  exit 1
fi
echo "package_test: all checks passed"
