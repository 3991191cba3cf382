#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Qarvel need,
# and only those that are missing, so a second run costs a dpkg query and nothing else.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
  libsqlcipher-dev sqlcipher
  libpq-dev
  fonts-noto-cjk fonts-arphic-ukai fonts-arphic-uming
  poppler-utils
  libbenchmark-dev
  xvfb x11-utils libx11-dev libxtst-dev
)
case "${1:-}" in
  # The tests of the shared server start a throw-away PostgreSQL cluster with pg_virtualenv,
  # and give it certificates of their own (openssl) to test encrypted links.
  --server) packages+=(postgresql-15 postgresql-common openssl) ;;
  --fuzz) packages+=(clang libclang-rt-14-dev) ;;
  # The prints through a CUPS server of the test's own, with PDF-writing queues (test-cups.sh).
  --cups) packages+=(cups printer-driver-cups-pdf) ;;
  # Making and checking the .deb: shared-library dependencies, icon rendering, the checkers.
  --package) packages+=(dpkg-dev file fakeroot librsvg2-bin lintian desktop-file-utils appstream) ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "Packages missing (${missing[*]}) and neither root nor sudo is available." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
