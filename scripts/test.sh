#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
cd "$root/build"
# The shared-server tests get a throw-away PostgreSQL cluster of their own, which pg_virtualenv
# starts (as root too), points PGHOST/PGPORT/PGUSER/PGPASSWORD at, and removes afterwards.
pg_virtualenv ctest --output-on-failure --timeout 600 -j "$(nproc)"
