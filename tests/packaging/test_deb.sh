#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: test_deb.sh <build folder>
# Packs the build's install rules with its CPack configuration into a private folder, then
# checks the .deb's control fields, dependencies and file list.
set -euo pipefail
build=$(realpath "$1")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# cpack on a CMake project first builds the whole tree (preinstall); a test must not build, so
# the same install script runs as an install script of an otherwise identical configuration.
cat >"$out/install.cmake" <<CMAKE
set(CMAKE_INSTALL_PREFIX "\${CPACK_PACKAGING_INSTALL_PREFIX}")
set(CMAKE_INSTALL_DO_STRIP 1)
include("$build/cmake_install.cmake")
CMAKE
cat >"$out/config.cmake" <<CMAKE
include("$build/CPackConfig.cmake")
set(CPACK_INSTALL_CMAKE_PROJECTS "")
set(CPACK_INSTALL_SCRIPTS "$out/install.cmake")
CMAKE
if ! cpack --config "$out/config.cmake" -G DEB -B "$out/pkg" >"$out/cpack.log" 2>&1; then
  cat "$out/cpack.log" >&2
  echo "FAIL: cpack did not build the package" >&2
  exit 1
fi
shopt -s nullglob
debs=("$out"/pkg/k12inc_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
  echo "FAIL: expected one k12inc_*.deb, found ${#debs[@]}" >&2
  ls -l "$out/pkg" >&2
  exit 1
fi
deb=${debs[0]}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = k12inc ] || fail "Package is '$(field Package)'"
[ "$(field Section)" = science ] || fail "Section is '$(field Section)'"
name_address='^[^<>]+ <[^@<> ]+@[^@<> ]+>$'
[[ $(field Maintainer) =~ $name_address ]] ||
  fail "Maintainer is not 'Name <address>': '$(field Maintainer)'"
[ -n "$(field Version)" ] || fail "no Version"
[ -n "$(field Architecture)" ] || fail "no Architecture"

# Package names, one a line, without versions; alternatives count as names too.
names() { tr ',|' '\n' | sed -E 's/\(.*\)//; s/[[:space:]]//g' | sed '/^$/d' | sort -u; }
depends=$(field Depends | names)
for p in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 \
  libqt6printsupport6 libqt6svg6 qt6-qpa-plugins qt6-translations-l10n libqcustomplot2.1-qt6 \
  libmosquitto1 fonts-ipafont-gothic fonts-ipafont-mincho; do
  grep -qxF "$p" <<<"$depends" || fail "Depends lacks $p (Depends: $(field Depends))"
done

# Every package a program links to must be declared (catches a newly linked library).
if command -v dpkg-shlibdeps >/dev/null; then
  mkdir -p "$out/scan/debian" "$out/unpacked"
  touch "$out/scan/debian/control"
  dpkg-deb -x "$deb" "$out/unpacked"
  if scanned=$(cd "$out/scan" &&
    dpkg-shlibdeps -O "$out"/unpacked/usr/bin/* 2>"$out/shlibdeps.log"); then
    for p in $(names <<<"${scanned#shlibs:Depends=}"); do
      grep -qxF "$p" <<<"$depends" || fail "Depends lacks $p, which the programs link to"
    done
  else
    fail "dpkg-shlibdeps failed: $(cat "$out/shlibdeps.log")"
  fi
fi

# File list: paths without the leading "./".
files=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./||')
service=usr/lib/systemd/system/k12inc-record@.service
for f in usr/bin/k12inc usr/bin/k12inc-record usr/bin/k12inc-unit usr/bin/k12inc-unit-sim \
  usr/bin/k12inc-zr5 usr/share/applications/k12inc.desktop \
  usr/share/icons/hicolor/scalable/apps/k12inc.svg \
  usr/share/metainfo/org.example.k12inc.metainfo.xml usr/share/doc/k12inc/copyright \
  usr/share/doc/k12inc/changelog.gz $service usr/lib/sysusers.d/k12inc-record.conf; do
  grep -qxF "$f" <<<"$files" || fail "package lacks /$f"
done
# The programs must be executable.
while read -r mode _ _ _ _ path; do
  case $path in ./usr/bin/?*) [[ $mode == -rwxr-xr-x ]] || fail "$path has mode $mode" ;; esac
done < <(dpkg-deb -c "$deb")
# Nothing from the build tree or the developer's machine.
stray=$(grep -vxE '|usr/|usr/(bin|share)/.*|usr/lib/((systemd/)?|systemd/system/|sysusers\.d/)|usr/lib/systemd/system/k12inc-record@\.service|usr/lib/sysusers\.d/k12inc-record\.conf' <<<"$files" || true)
[ -z "$stray" ] || fail "unexpected paths: $(tr '\n' ' ' <<<"$stray")"

# A manual page for every program, in English and in Japanese.
for f in $(grep -E '^usr/bin/.' <<<"$files"); do
  for dir in man1 ja/man1; do
    page=usr/share/man/$dir/$(basename "$f").1.gz
    grep -qxF "$page" <<<"$files" || fail "no manual page /$page for /$f"
  done
done

mkdir -p "$out/root"
dpkg-deb -x "$deb" "$out/root"
root=$out/root
version=$(field Version)
changelog_version=$(zcat "$root/usr/share/doc/k12inc/changelog.gz" | sed -nE '1s/^k12inc \(([^)]*)\).*/\1/p')
[ "$changelog_version" = "$version" ] ||
  fail "the changelog's latest entry is '$changelog_version', the package $version"
grep -qF "<release version=\"$version\"" "$root/usr/share/metainfo/org.example.k12inc.metainfo.xml" ||
  fail "the AppStream metadata has no release $version"

# Every long option a tool's --help names is in its manual pages.
for tool in k12inc-record k12inc-unit k12inc-unit-sim k12inc-zr5; do
  for dir in man1 ja/man1; do
    page=$(zcat "$root/usr/share/man/$dir/$tool.1.gz" | sed 's/\\-/-/g')
    for opt in $("$build/bin/$tool" --help 2>&1 | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
      grep -qF -- "$opt" <<<"$page" || fail "$dir/$tool.1 does not describe $opt"
    done
  done
done

# The service unit as systemd reads it. It runs the program of the unpacked package, and its
# Documentation= must name a manual page the package has. A unit systemd only warns about fails
# too. Where systemd-analyze cannot work at all (some containers), a unit known to be good shows
# it, and the check is skipped with the reason.
if command -v systemd-analyze >/dev/null; then
  mkdir -p "$out/units"
  sed "s|/usr/bin/k12inc-record|$root/usr/bin/k12inc-record|" "$root/$service" \
    >"$out/units/k12inc-record@.service"
  man=no
  command -v man >/dev/null && man=yes
  verify() { MANPATH=$root/usr/share/man systemd-analyze verify --man=$man "$@"; }
  printf '[Service]\nExecStart=/bin/true\n' >"$out/units/k12inc-known-good.service"
  analyze=yes
  if ! verify "$out/units/k12inc-known-good.service" >"$out/verify.log" 2>&1; then
    echo "SKIP: systemd-analyze verify cannot run here: $(cat "$out/verify.log")"
    analyze=no
  elif ! verify "$out/units/k12inc-record@.service" >"$out/verify.log" 2>&1 ||
    [ -s "$out/verify.log" ]; then
    fail "systemd-analyze verify $service: $(cat "$out/verify.log")"
  fi
  # The service is locked down: systemd's overall exposure at most 2.0 ("OK"), from
  # "→ Overall exposure level for k12inc-record@i.service: 1.5 OK 🙂".
  if [ "$analyze" = yes ]; then
    if systemd-analyze security --offline=yes "$out/units/k12inc-record@.service" \
      >"$out/security.log" 2>&1; then
      exposure=$(sed -nE 's/.*Overall exposure level for [^:]*: ([0-9]+\.[0-9]+) .*/\1/p' \
        "$out/security.log")
      if [ -z "$exposure" ]; then
        fail "systemd-analyze security gave no overall exposure: $(cat "$out/security.log")"
      elif ! awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }'; then
        fail "the service's exposure is $exposure, above 2.0: $(grep '✗' "$out/security.log")"
      fi
    else
      fail "systemd-analyze security failed: $(cat "$out/security.log")"
    fi
  fi
else
  fail "systemd-analyze is missing (package systemd)"
fi

if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root"/usr/share/metainfo/*.xml >"$out/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$out/appstream.log")"
else
  fail "appstreamcli is missing (package appstream)"
fi
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root"/usr/share/applications/*.desktop >"$out/desktop.log" 2>&1 ||
    fail "desktop-file-validate: $(cat "$out/desktop.log")"
  [ ! -s "$out/desktop.log" ] || fail "desktop-file-validate: $(cat "$out/desktop.log")"
else
  fail "desktop-file-validate is missing (package desktop-file-utils)"
fi

# lintian must report no error, no warning and no unhardened program; an override has to give
# its reason in a comment above it.
overrides=$root/usr/share/lintian/overrides/k12inc
if [ -f "$overrides" ]; then
  bare=$(awk '/^[[:space:]]*#/ {c = 1; next} /^[[:space:]]*$/ {c = 0; next} !c {print} {c = 0}' \
    "$overrides")
  [ -z "$bare" ] || fail "lintian overrides without a reason: $bare"
fi
if command -v lintian >/dev/null; then
  # lintian warns on stderr when run as root, as CI does; its findings go to stdout. Its
  # information tags are shown too: the programs must be built hardened.
  lintian --fail-on error,warning --display-info "$deb" >"$out/lintian.log" \
    2>"$out/lintian.err" || fail "lintian failed: $(cat "$out/lintian.log" "$out/lintian.err")"
  refused='^[EWX]: |hardening-no-fortify-functions|hardening-no-bindnow'
  findings=$(grep -E "$refused" "$out/lintian.log" || true)
  [ -z "$findings" ] || fail "lintian: $findings"
  # Other information tags are for the reader of the test's output.
  others=$(grep -vE "$refused" "$out/lintian.log" || true)
  [ -z "$others" ] || printf 'lintian (information):\n%s\n' "$others"
else
  fail "lintian is missing (package lintian)"
fi

if [ "$failures" -ne 0 ]; then
  dpkg-deb -I "$deb" >&2
  exit 1
fi
echo "OK: $(basename "$deb")"
