#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the service with the default
# configuration and the demo chains.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)"
if [ ! -x build/bin/zelph-service ]; then
  echo "The server is not built yet: the libraries are built, the service program is not."
  exit 0
fi
exec build/bin/zelph-service "$@"
