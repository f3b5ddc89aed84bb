#!/usr/bin/env bash
# Sets everything up, builds and runs every test: the normal build and the
# AddressSanitizer + UndefinedBehaviorSanitizer build, warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# The official MCP SDK for the interoperability test, from the committed lock file.
npm ci --prefix tests/interop --no-audit --no-fund

for preset in dev asan; do
  echo "== $preset build"
  cmake --preset "$preset" -DQUILLMERE_WERROR=ON
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset"
done
bash scripts/fuzz.sh
