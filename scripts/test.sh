#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite. The tests start their
# own private CUPS server and LibreOffice; this script gives them a D-Bus session bus.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${QP_BUILD_DIR:-$root/build}
cd "$build"
exec dbus-run-session -- ctest --output-on-failure --timeout 1800 "$@"
