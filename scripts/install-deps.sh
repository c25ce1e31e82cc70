#!/usr/bin/env bash
# Installs everything Quirepress needs to build, run and test on Debian 12. Safe to run again.
set -euo pipefail

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi

PACKAGES=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libgtest-dev libgmock-dev
    # LibreOffice must come in one command with its GUI-capable core, or apt picks the
    # -nogui variant, which cannot print.
    libreoffice-core libreoffice-writer libreoffice-calc libreoffice-impress libreoffice-dev
    libcups2-dev cups cups-client cups-ipp-utils cups-filters printer-driver-cups-pdf
    poppler-utils libpoppler-cpp-dev
    dbus dbus-x11 xvfb xauth x11-apps fonts-dejavu-core
    # Metric-compatible fonts, so that Office documents keep their page breaks.
    fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea
    fp-utils dpkg-dev file
    # GLib's desktop entry loader, for the installed-package test.
    libglib2.0-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
