#!/usr/bin/env bash
# Checks of the Debian package, run by ctest on the package of the build tree:
#
#   package_checks.sh CHECK PACKAGE_DIR SOURCE_DIR
#
# CHECK is one of: lintian, contents, manpages, completion, repository,
# install. Each extracts the newest quillmere_*.deb of PACKAGE_DIR and checks
# it with the tools Debian itself uses. Exit 77 means skipped (with the reason
# printed).
# No pipefail: `grep -q` may end a pipe early, which is a match, not a failure.
set -eu
check=$1
package_dir=$2
source_dir=$3
deb=$(ls -t "$package_dir"/quillmere_*.deb | head -n 1)
work=$(mktemp -d)
cleanup_steps=()
cleanup() {
  for step in "${cleanup_steps[@]}"; do eval "$step" || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*"; exit 77; }
root=$work/root
extract() { dpkg-deb -x "$deb" "$root"; }

# The words a CLI11 --help lists under "Subcommands:".
subcommands_of() {
  "$root/usr/bin/quillmere" "$@" --help |
    awk '/^Subcommands:/ { on = 1; next } on && /^[^ ]/ { on = 0 } on && NF { print $1 }'
}

case "$check" in
lintian)
  # Errors and warnings fail; each accepted one is overridden with its reason
  # in data/packaging/lintian-overrides.
  lintian --fail-on error,warning --display-info "$deb"
  ;;

contents)
  extract
  usr=$root/usr
  for file in bin/quillmere bin/quillmere-desktop \
    share/quillmere/mcp-bridge/quillmere-mcp-bridge.mjs \
    share/applications/com.quillmere.Quillmere.desktop \
    share/icons/hicolor/scalable/apps/com.quillmere.Quillmere.svg \
    share/metainfo/com.quillmere.Quillmere.metainfo.xml \
    lib/systemd/user/quillmere.service \
    share/man/man1/quillmere.1.gz share/man/man1/quillmere-desktop.1.gz \
    share/bash-completion/completions/quillmere share/zsh/vendor-completions/_quillmere \
    share/doc/quillmere/copyright share/doc/quillmere/changelog.Debian.gz; do
    [ -f "$usr/$file" ] || fail "the package has no /usr/$file"
  done
  [ ! -e "$usr/bin/quillmere-phone" ] || fail "the phone simulator is not for the package"
  # Each PNG icon is as large as the folder it is in says.
  for png in "$usr"/share/icons/hicolor/*x*/apps/com.quillmere.Quillmere.png; do
    folder=$(basename "$(dirname "$(dirname "$png")")")
    size=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]))' "$png")
    [ "$size" = "$folder" ] || fail "$png is $size"
  done
  [ "$(ls "$usr"/share/icons/hicolor/*x*/apps/*.png | wc -l)" -ge 4 ] || fail "too few icon sizes"

  desktop-file-validate "$usr/share/applications/com.quillmere.Quillmere.desktop"
  appstreamcli validate --no-net "$usr/share/metainfo/com.quillmere.Quillmere.metainfo.xml"
  # Verified as systemd reads it; a copy runs the packaged program where it
  # was extracted, since systemd checks that the program is there.
  unit=$usr/lib/systemd/user/quillmere.service
  grep -qx 'ExecStart="/usr/bin/quillmere" run' "$unit" || fail "the unit does not run /usr/bin/quillmere"
  mkdir -p "$work/unit" "$work/runtime"
  chmod 700 "$work/runtime"
  sed "s#\"/usr/bin/quillmere\"#\"$usr/bin/quillmere\"#" "$unit" >"$work/unit/quillmere.service"
  verify=$(XDG_RUNTIME_DIR=$work/runtime SYSTEMD_LOG_LEVEL=notice \
    systemd-analyze verify --user "$work/unit/quillmere.service" 2>&1) || fail "systemd-analyze verify: $verify"
  # An unknown key is only reported: any report fails.
  if [ -n "$verify" ]; then fail "systemd-analyze verify: $verify"; fi

  # The programs print the version CMake gives, which is the package's.
  version=$(dpkg-deb -f "$deb" Version)
  [ "$("$usr/bin/quillmere" --version)" = "quillmere ${version%-*}" ] || fail "quillmere --version"
  [ "$("$usr/bin/quillmere-desktop" --version)" = "quillmere-desktop ${version%-*}" ] ||
    fail "quillmere-desktop --version"

  # dpkg-shlibdeps named the libraries; Node.js is only recommended.
  dpkg-deb -f "$deb" Depends | grep -q 'libc6' || fail "no library dependencies"
  dpkg-deb -f "$deb" Depends | grep -q 'nodejs' && fail "nodejs must not be a dependency"
  [ "$(dpkg-deb -f "$deb" Recommends)" = "nodejs" ] || fail "nodejs is not recommended"
  # Nothing in the package is under a home folder, so upgrades never touch one.
  if dpkg-deb -c "$deb" | grep -E ' \./(home|root)/'; then fail "files under a home folder"; fi
  dpkg-deb --ctrl-tarfile "$deb" | tar -x -O ./postrm | grep -q 'stay in their home folder' ||
    fail "postrm says nothing of the data that stays"
  ;;

manpages)
  extract
  man_text() { MANWIDTH=200 man --warnings -E UTF-8 -l "$1" 2>"$work/warnings" | col -b; }
  page=$(man_text "$root/usr/share/man/man1/quillmere.1.gz")
  if [ -s "$work/warnings" ]; then fail "groff: $(cat "$work/warnings")"; fi
  count=0
  # Every command --help lists, and every command under it, has its section.
  for command in $(subcommands_of); do
    grep -q "^ *quillmere $command\$" <<<"$page" || fail "quillmere(1) lacks \"quillmere $command\""
    count=$((count + 1))
    for sub in $(subcommands_of "$command"); do
      grep -q "^ *quillmere $command $sub\$" <<<"$page" ||
        fail "quillmere(1) lacks \"quillmere $command $sub\""
    done
    # and every option of it.
    for option in $("$root/usr/bin/quillmere" "$command" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
      grep -q -- "$option" <<<"$page" || fail "quillmere(1) lacks $option of $command"
    done
  done
  [ "$count" -ge 10 ] || fail "only $count commands found in quillmere --help"
  desktop_page=$(man_text "$root/usr/share/man/man1/quillmere-desktop.1.gz")
  for option in $(QT_QPA_PLATFORM=offscreen "$root/usr/bin/quillmere-desktop" --help | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u); do
    grep -q -- "$option" <<<"$desktop_page" || fail "quillmere-desktop(1) lacks $option"
  done
  echo "quillmere(1) covers the $count commands of quillmere --help"
  ;;

completion)
  extract
  # complete WORDS...: what bash offers for the last word, one per line.
  complete_words() {
    bash --norc --noprofile -c '
      source "$0"
      registered=$(complete -p quillmere) || exit 3
      [[ $registered == *"-F _quillmere"* ]] || exit 4
      COMP_WORDS=("$@"); COMP_CWORD=$(( $# - 1 ))
      COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
      _quillmere quillmere "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
      printf "%s\n" "${COMPREPLY[@]}"' "$root/usr/share/bash-completion/completions/quillmere" "$@"
  }
  [ "$(complete_words quillmere ex)" = "export" ] || fail "quillmere ex<Tab>: $(complete_words quillmere ex)"
  commands=$(subcommands_of)
  [ "$(wc -w <<<"$commands")" -ge 10 ] || fail "too few commands in quillmere --help: $commands"
  for command in $commands; do
    complete_words quillmere '' | grep -qx "$command" || fail "quillmere <Tab> lacks $command"
  done
  complete_words quillmere mcp '' | grep -qx revoke || fail "quillmere mcp <Tab> lacks revoke"
  complete_words quillmere demo-data --c | grep -qx -- --contacts || fail "demo-data --c<Tab>"
  complete_words quillmere service i | grep -qx install || fail "service i<Tab>"
  # An option's value is a file name, even one spelled like a command.
  touch "$work/status-report.png"
  (cd "$work" && complete_words quillmere pair --png stat) | grep -qx status-report.png ||
    fail "pair --png <Tab> offers no file"
  [ "$(complete_words quillmere pair --png status --t)" = "--timeout" ] ||
    fail "a value named like a command changed the command"
  if command -v zsh >/dev/null; then
    zsh -n "$root/usr/share/zsh/vendor-completions/_quillmere" || fail "zsh cannot read _quillmere"
  fi
  ;;

repository)
  # A signed repository of the package: both signatures check with the
  # exported key, and APT reads it through a signed-by entry.
  repo=$work/repo
  bash "$source_dir/scripts/package.sh" --deb "$deb" --repo "$repo" --test-key >/dev/null
  for f in Packages Packages.gz Release Release.gpg InRelease quillmere-archive-keyring.gpg \
    "pool/$(basename "$deb")"; do
    [ -f "$repo/$f" ] || fail "the repository has no $f"
  done
  gpgv --keyring "$repo/quillmere-archive-keyring.gpg" "$repo/InRelease" 2>/dev/null ||
    fail "InRelease does not verify"
  gpgv --keyring "$repo/quillmere-archive-keyring.gpg" "$repo/Release.gpg" "$repo/Release" 2>/dev/null ||
    fail "Release.gpg does not verify"
  apt=$work/apt
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$apt/preferences.d"
  : > "$apt/status"
  echo "deb [signed-by=$repo/quillmere-archive-keyring.gpg] file:$repo ./" > "$apt/sources.list"
  options=(-o "Dir::Etc::sourcelist=$apt/sources.list" -o "Dir::Etc::sourceparts=$apt/parts"
    -o "Dir::Etc::preferencesparts=$apt/preferences.d" -o "Dir::State::Lists=$apt/lists"
    -o "Dir::State::status=$apt/status" -o "Dir::Cache=$apt/cache" -o Debug::NoLocking=1
    -o APT::Sandbox::User=root)
  update=$(apt-get "${options[@]}" update 2>&1) || fail "apt-get update: $update"
  if grep -qE '^(W|E):' <<<"$update"; then fail "apt-get update: $update"; fi
  apt-cache "${options[@]}" policy quillmere | grep -q "Candidate: $(dpkg-deb -f "$deb" Version)" ||
    fail "APT does not offer the package"
  ;;

install)
  [ "$(id -u)" -eq 0 ] || skip "installing needs root (this runs as $(id -un))"
  command -v apt-get >/dev/null || skip "no apt-get on this machine"
  if dpkg-query -W -f='${Status}' quillmere 2>/dev/null | grep -q 'ok installed'; then
    skip "quillmere is already installed here; the test leaves a real install alone"
  fi
  apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=120 "$@"; }
  cleanup_steps+=("apt_get purge quillmere >/dev/null 2>&1")
  cp "$deb" "$work/"
  apt_get install --no-install-recommends "$work/$(basename "$deb")" >"$work/install.log" 2>&1 ||
    fail "apt-get install: $(tail -n 20 "$work/install.log")"
  version=$(dpkg-deb -f "$deb" Version)
  [ "$(/usr/bin/quillmere --version)" = "quillmere ${version%-*}" ] || fail "installed --version"
  home=$work/home
  mkdir -p "$home"
  HOME=$home XDG_DATA_HOME= XDG_CONFIG_HOME= XDG_RUNTIME_DIR= /usr/bin/quillmere demo-data -n 5 |
    grep -q 'with 5 contacts' || fail "quillmere demo-data -n 5"
  store=$home/.local/share/quillmere/QuillmereMac.store
  [ -f "$store" ] || fail "no store at $store"
  HOME=$home XDG_DATA_HOME= XDG_CONFIG_HOME= /usr/bin/quillmere update check | grep -q 'is the newest version' ||
    fail "update check of the installed package"
  # An upgrade (the same files as a later revision) keeps the user's store.
  dpkg-deb -R "$deb" "$work/next"
  sed -i "s/^Version: .*/Version: $version+next1/" "$work/next/DEBIAN/control"
  dpkg-deb --root-owner-group -b "$work/next" "$work/quillmere_next.deb" >/dev/null
  apt_get install --no-install-recommends "$work/quillmere_next.deb" >"$work/upgrade.log" 2>&1 ||
    fail "apt-get install (upgrade): $(tail -n 20 "$work/upgrade.log")"
  [ "$(dpkg-query -W -f='${Version}' quillmere)" = "$version+next1" ] || fail "not upgraded"
  [ -f "$store" ] || fail "the upgrade lost the store"
  apt_get remove quillmere >/dev/null 2>&1 || fail "apt-get remove"
  [ ! -e /usr/bin/quillmere ] || fail "/usr/bin/quillmere stays after remove"
  [ -f "$store" ] || fail "removing the package removed the store"
  apt_get purge quillmere >"$work/purge.log" 2>&1 || fail "apt-get purge"
  grep -q 'stay in their home folder' "$work/purge.log" || fail "purge said nothing of the data"
  [ -f "$store" ] || fail "purging the package removed the store"
  ;;

*)
  echo "package_checks.sh: unknown check $check" >&2
  exit 2
  ;;
esac
echo "$check: ok"
