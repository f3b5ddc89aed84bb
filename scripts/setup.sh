#!/usr/bin/env bash
# Installs every Debian package Quillmere needs to build, test and run.
# Idempotent: packages that are already installed are left alone, and the
# package lists are refreshed only when something is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config clang clang-format
  # the libFuzzer runtime (only recommended by clang)
  libclang-rt-14-dev
  # libraries
  libsqlite3-dev libssl-dev libasio-dev nlohmann-json3-dev libsimdjson-dev
  libcurl4-openssl-dev libqrencode-dev libpng-dev libicu-dev libpcre2-dev
  libcli11-dev libspdlog-dev libavahi-client-dev libsecret-1-dev libxlsxwriter-dev
  # the configuration files of AI clients: YAML (goose, Continue) and TOML (Codex)
  libyaml-cpp-dev libtomlplusplus-dev
  # the desktop window (Qt 6 Widgets; fonts so that CJK names show)
  qt6-base-dev libgl-dev fonts-noto-cjk
  # the window's French translation: lupdate/lrelease, and Qt's own French texts
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  # tests and benchmarks; Xvfb and ImageMagick for the window's screenshots
  libgtest-dev libgmock-dev libbenchmark-dev zbar-tools desktop-file-utils appstream
  xvfb xauth imagemagick
  # independent readers of the exports (vCard, XLSX, iCalendar) in the tests
  python3 python3-vobject python3-openpyxl python3-icalendar
  # the post-show report read back (pdftotext, pdfinfo) and pictured (pdftoppm)
  poppler-utils
  # the mail server that the sending tests talk to (STARTTLS, TLS and a login)
  python3-aiosmtpd
  # the bridge script for AI clients, and the MCP SDK of the interoperability test
  nodejs npm
  # the Debian package (scripts/package.sh) and its checks: the icons drawn from
  # the SVG, CPack's dpkg-shlibdeps, the signed repository, lintian, systemd's
  # unit check, the man pages rendered and the zsh completion read
  librsvg2-bin dpkg-dev fakeroot apt-utils gnupg gpgv lintian systemd man-db bsdextrautils zsh
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    # Node.js may come from elsewhere than Debian (a newer release with its own npm).
    if [ "$p" = nodejs ] && command -v node >/dev/null 2>&1; then continue; fi
    if [ "$p" = npm ] && command -v npm >/dev/null 2>&1; then continue; fi
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
