#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: it only
# calls apt-get when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang-format pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
  libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-ibase libgl-dev qt6-translations-l10n
  postgresql-15 postgresql-client-15
  firebird3.0-server firebird3.0-utils firebird-dev
  libsqlite3-dev libpq-dev
  xvfb xauth xdotool openbox x11-utils imagemagick poppler-utils fonts-dejavu-core
  fonts-urw-base35 python3-reportlab
  libxlsxwriter-dev python3-xlsxwriter python3-openpyxl zlib1g-dev
  scdoc lintian
)

# scripts/screenshots.sh opens an exported XLSX in LibreOffice for its picture; only it asks.
if [ "${1:-}" = --docs ]; then
  packages+=(libreoffice-calc-nogui)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
# The Firebird package asks for a SYSDBA password; preseed it so nothing waits for input.
echo "firebird3.0-server shared/firebird/enabled boolean true" | $SUDO debconf-set-selections || true
echo "firebird3.0-server shared/firebird/sysdba_password/first_install password masterkey" | $SUDO debconf-set-selections || true
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}" || {
  # The Firebird service start is refused in containers; the package is still usable.
  $SUDO dpkg --configure -a || true
  $SUDO apt-get install -y -q --no-install-recommends -f
}
