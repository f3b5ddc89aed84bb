#!/usr/bin/env bash
# Sets everything up, builds and runs every test: the normal build and the
# AddressSanitizer + UndefinedBehaviorSanitizer build, warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# The official MCP SDK for the interoperability test, from the committed lock file.
npm ci --prefix tests/interop --no-audit --no-fund
# The AI clients' own command-line programs (about 1 GB, 1–2 minutes); without
# them (npm unreachable) their interoperability test is skipped and says so.
npm ci --prefix tests/interop/clients --no-audit --no-fund ||
  echo "test: npm could not install the AI clients; mcp_client_interop will be skipped"

# Both builds compile in unity mode (several .cpp files of a library as one):
# the heavy headers (JSON, Asio, CLI11, Qt, GoogleTest) are then compiled a few
# times per library instead of once per file, which keeps a cold build on a
# fresh machine within minutes. QUILLMERE_UNITY=OFF builds file by file.
unity="${QUILLMERE_UNITY:-ON}"
for preset in dev asan; do
  echo "== $preset build"
  cmake --preset "$preset" -DQUILLMERE_WERROR=ON -DCMAKE_UNITY_BUILD="$unity" \
    -DCMAKE_UNITY_BUILD_BATCH_SIZE=16
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset"
done
bash scripts/fuzz.sh
