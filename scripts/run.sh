#!/usr/bin/env bash
# Sets everything up, builds the companion and runs it with its data in the
# default folders (~/.local/share/quillmere, ~/.config/quillmere). Extra
# arguments go to `quillmere run`.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release
cmake --build --preset release --target quillmere
exec ./build/release/quillmere run "$@"
