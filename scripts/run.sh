#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quirepress.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${QP_BUILD_DIR:-$root/build}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting Quirepress under Xvfb." >&2
    exec xvfb-run -a "$build/bin/quirepress"
fi
exec "$build/bin/quirepress"
