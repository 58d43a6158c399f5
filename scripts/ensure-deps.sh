#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages of a list (default: debian-packages.txt next to this script) that
# are missing. Usage: ensure-deps.sh [LIST]; a relative LIST not found from the current directory
# is looked up next to this script.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
list=${1:-debian-packages.txt}
if [ ! -f "$list" ] && [ -f "$here/$list" ]; then
  list=$here/$list
fi
if [ ! -f "$list" ]; then
  echo "ensure-deps: no package list $list" >&2
  exit 2
fi
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$list" | sed 's/\s*#.*//; s/\s*$//')
missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing missing packages: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
