#!/usr/bin/env bash
# Installs what is missing, builds the program, the Java plug-in, the demo models and the
# example client (build/bin/zelph-client), and runs the demo installation (the build folder)
# in the foreground: zelph-service serves on 127.0.0.1:50471 until Ctrl+C. Arguments go to
# zelph-service (try --help). JOBS sets the compile jobs (default: the number of processors).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja "${launcher[@]}" >/dev/null
cmake --build build -j "${JOBS:-$(nproc)}" --target zelph-service zelph-java zelph-client
exec build/bin/zelph-service "$@"
