#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" --server
"$root/scripts/build.sh"
cd "$root/build"
# The shared-server tests get a throw-away PostgreSQL cluster of their own, which pg_virtualenv
# starts (as root too, in a temporary folder so that runs side by side never meet), points PGHOST/PGPORT/PGUSER/PGPASSWORD at, and removes afterwards.
pg_virtualenv -t ctest --output-on-failure --timeout 600 -j "$(nproc)"
