#!/usr/bin/env bash
# Builds the Debian package of Quillmere: quillmere_<version>_<arch>.deb under
# build/package/, from the release configuration (only the programs it ships).
#
#   bash scripts/package.sh                      build/release, then the package
#   bash scripts/package.sh --build-dir build/dev  package an already configured tree
#   bash scripts/package.sh --repo DIR --key ID  also add it to the signed APT
#                                                repository in DIR (flat layout)
#   bash scripts/package.sh --repo DIR --test-key  the same with a throwaway key
#   bash scripts/package.sh --deb FILE --repo DIR ...  add a package already built
#
# The repository is signed twice with the maintainer's key (Release.gpg,
# detached, and InRelease, inline) and carries the public key as
# quillmere-archive-keyring.gpg; docs/packaging.md shows the one sources entry
# a user adds. Earlier packages in DIR/pool stay listed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

build_dir=""
deb=""
repo=""
key=""
test_key=0
out="$root/build/package"
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) build_dir=$2; shift 2 ;;
    --deb) deb=$2; shift 2 ;;
    --repo) repo=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    --test-key) test_key=1; shift ;;
    --output) out=$2; shift 2 ;;
    -h|--help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument: $1 (see --help)" >&2; exit 2 ;;
  esac
done
if [ -n "$repo" ] && [ -z "$key" ] && [ "$test_key" -eq 0 ]; then
  echo "package.sh: --repo needs the signing key: --key ID (or --test-key for a throwaway one)" >&2
  exit 2
fi

shipped=(quillmere quillmere-desktop quillmere_package_files)
if [ -n "$deb" ]; then
  [ -f "$deb" ] || { echo "package.sh: no package at $deb" >&2; exit 2; }
elif [ -z "$build_dir" ]; then
  [ -n "${QUILLMERE_SKIP_SETUP:-}" ] || bash scripts/setup.sh
  # The tests and benchmarks of the release tree are left unbuilt. Unity mode
  # (several .cpp files of a library compiled as one), as in scripts/test.sh,
  # keeps a cold build within minutes.
  cmake --preset release -DCMAKE_UNITY_BUILD="${QUILLMERE_UNITY:-ON}" -DCMAKE_UNITY_BUILD_BATCH_SIZE=16
  cmake --build --preset release --target "${shipped[@]}"
  build_dir="$root/build/release"
else
  build_dir=$(cd "$build_dir" && pwd)
  cmake --build "$build_dir" --target "${shipped[@]}"
fi

if [ -z "$deb" ]; then
  mkdir -p "$out"
  cpack --config "$build_dir/CPackConfig.cmake" -B "$out" >/dev/null
  deb=$(ls -t "$out"/quillmere_*.deb | head -n 1)
  echo "Package: $deb"
fi

[ -n "$repo" ] || exit 0

# ---- the APT repository
mkdir -p "$repo/pool"
cp "$deb" "$repo/pool/"
if [ "$test_key" -eq 1 ]; then
  GNUPGHOME=$(mktemp -d)
  export GNUPGHOME
  trap 'gpgconf --kill all >/dev/null 2>&1 || true; rm -rf "$GNUPGHOME" "${stage:-}"' EXIT
  gpg --batch --quiet --passphrase '' --quick-gen-key "Quillmere test archive <test@quillmere.invalid>" \
    ed25519 sign 1d
  key=$(gpg --batch --with-colons --list-secret-keys | awk -F: '$1 == "fpr" { print $10; exit }')
fi

# Each index is written in a scratch folder, copied beside its final name and
# renamed into place, the signatures last, so a client never reads a
# half-written file.
stage=$(mktemp -d)
publish() {
  cp "$stage/$1" "$repo/.$1.new"
  mv "$repo/.$1.new" "$repo/$1"
}
(cd "$repo" && apt-ftparchive packages pool) > "$stage/Packages"
gzip -9n < "$stage/Packages" > "$stage/Packages.gz"
publish Packages
publish Packages.gz
(cd "$repo" && apt-ftparchive \
  -o APT::FTPArchive::Release::Origin=Quillmere \
  -o APT::FTPArchive::Release::Label=Quillmere \
  -o APT::FTPArchive::Release::Suite=stable \
  -o APT::FTPArchive::Release::Codename=stable \
  -o APT::FTPArchive::Release::Description="Quillmere packages" \
  release .) > "$stage/Release"
gpg --batch --yes --local-user "$key" --armor --detach-sign -o "$stage/Release.gpg" "$stage/Release"
gpg --batch --yes --local-user "$key" --clearsign -o "$stage/InRelease" "$stage/Release"
gpg --batch --yes --export "$key" > "$stage/quillmere-archive-keyring.gpg"
for f in quillmere-archive-keyring.gpg Release Release.gpg InRelease; do publish "$f"; done
rm -rf "$stage"
echo "Repository: $repo (signed by $key)"
