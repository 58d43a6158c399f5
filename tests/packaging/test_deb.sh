#!/usr/bin/env bash
# Usage: test_deb.sh <build>/CPackConfig.cmake
# Runs cpack into a private folder, then checks the .deb's dependencies and file list.
set -euo pipefail
config=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

if ! cpack --config "$config" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "FAIL: cpack did not build the package" >&2
  exit 1
fi
shopt -s nullglob
debs=("$out"/k12inc_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "FAIL: expected one k12inc_*.deb, found ${#debs[@]}" >&2
  ls -l "$out" >&2
  exit 1
fi
deb=${debs[0]}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = k12inc ] || fail "Package is '$(field Package)'"
[ "$(field Section)" = science ] || fail "Section is '$(field Section)'"
[ "$(field Maintainer)" = "k12inc maintainers" ] || fail "Maintainer is '$(field Maintainer)'"
[ -n "$(field Version)" ] || fail "no Version"
[ -n "$(field Architecture)" ] || fail "no Architecture"

# Dependency names, one a line, without versions or alternatives' separators.
depends=$(field Depends | tr ',|' '\n\n' | sed -E 's/\(.*\)//; s/^[[:space:]]+//; s/[[:space:]]+$//' |
  sed '/^$/d')
for p in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6printsupport6 \
  libqt6svg6 qt6-qpa-plugins libqcustomplot2.1-qt6 fonts-ipafont-gothic fonts-ipafont-mincho; do
  grep -qxF "$p" <<<"$depends" || fail "Depends lacks $p (Depends: $(field Depends))"
done

# File list: paths without the leading "./".
files=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./||')
for f in usr/bin/k12inc usr/bin/k12inc-unit usr/bin/k12inc-unit-sim usr/bin/k12inc-zr5 \
  usr/share/applications/k12inc.desktop usr/share/icons/hicolor/scalable/apps/k12inc.svg; do
  grep -qxF "$f" <<<"$files" || fail "package lacks /$f"
done
# The programs must be executable.
while read -r mode _ _ _ _ path; do
  case $path in ./usr/bin/*) [[ $mode == -rwxr-xr-x ]] || fail "$path has mode $mode" ;; esac
done < <(dpkg-deb -c "$deb")
# Nothing from the build tree or the developer's machine.
if grep -vE '^usr/(bin|share)/' <<<"$files" | grep -vxE 'usr/?|usr/share/?' | grep -q .; then
  fail "unexpected paths: $(grep -vE '^usr/(bin|share)/' <<<"$files" | tr '\n' ' ')"
fi

if [ "$failures" -ne 0 ]; then
  dpkg-deb -I "$deb" >&2
  exit 1
fi
echo "OK: $(basename "$deb")"
