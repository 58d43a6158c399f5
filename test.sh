#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds into build/ and runs every test except the soak test, which
# takes minutes: `./test.sh -L soak` runs it. Other arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/ensure-deps.sh"
"$top/scripts/build.sh"
cd "$top/build"

# Leave the soak test out unless an argument names it; fold it into a given -LE.
args=("$@")
if [[ " ${args[*]} " != *soak* ]]; then
  excluded=
  for i in "${!args[@]}"; do
    if [[ ${args[i]} == -LE || ${args[i]} == --label-exclude ]] && ((i + 1 < ${#args[@]})); then
      args[i + 1]="soak|${args[i + 1]}"
      excluded=yes
    fi
  done
  [ -n "$excluded" ] || args+=(-LE soak)
fi
ctest --output-on-failure --parallel "$(nproc)" "${args[@]}"
