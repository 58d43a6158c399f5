#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/ensure-deps.sh"
"$top/scripts/build.sh"
cd "$top/build"
ctest --output-on-failure --parallel "$(nproc)" "$@"
