#!/usr/bin/env bash
# Sets everything up, builds Quillmere and runs it with its data in the default
# folders (~/.local/share/quillmere, ~/.config/quillmere). With a display the
# desktop window opens (it starts the companion, which keeps running when the
# window closes); without one the companion runs in this terminal. Extra
# arguments go to `quillmere run`.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ $# -eq 0 ]; then
  cmake --build --preset release --target quillmere quillmere-desktop
  exec ./build/release/quillmere-desktop
fi
cmake --build --preset release --target quillmere
exec ./build/release/quillmere run "$@"
