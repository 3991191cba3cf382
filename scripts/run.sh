#!/usr/bin/env bash
# Installs what is missing, builds, and starts Qarvel. Its data live in build/数据库.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh" --target qarvel
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: to run it anyway, start 'QT_QPA_PLATFORM=vnc scripts/run.sh' and connect a VNC viewer to localhost:5900." >&2
  exit 1
fi
exec "$root/build/qarvel" "$@"
