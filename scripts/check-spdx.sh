#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: check-spdx.sh [TREE]
# Lists the source files of TREE (default: this checkout) whose first lines lack the licence
# line, and exits 1 if there are any.
set -euo pipefail
tree=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cd "$tree"
line='SPDX-License-Identifier: GPL-3.0-or-later'

# Code, build files, scripts and the texts installed from packaging/; not the README, the
# licence itself, pictures or the Debian copyright and changelog, whose formats have no comments.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t all < <(git ls-files --cached --others --exclude-standard)
else
  mapfile -t all < <(find . -path ./build\* -prune -o -type f -print | sed 's|^\./||')
fi
missing=0
for f in "${all[@]}"; do
  case $f in
  *.cpp | *.h | *.sh | *.cmake | CMakeLists.txt | */CMakeLists.txt | *.1 | *.xml | *.desktop | \
    *.svg | *.txt | *.supp | *.service | *.conf | */postinst | .ci/run) ;;
  *) continue ;;
  esac
  [ -f "$f" ] || continue
  if ! head -n 5 "$f" | grep -qF "$line"; then
    echo "$f"
    missing=$((missing + 1))
  fi
done
if [ "$missing" -ne 0 ]; then
  echo "$missing file(s) above lack '$line' in their first five lines" >&2
  exit 1
fi
