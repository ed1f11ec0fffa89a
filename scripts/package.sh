#!/usr/bin/env bash
# Builds the Debian package build/package/zelph_<version>_amd64.deb from the install rules:
# the installation under /opt/zelph, its configuration in /etc/zelph, its logs in
# /var/log/zelph and the systemd unit "zelph" (packaging/). Prints the package's path.
#
# Install it with "sudo apt install ./build/package/zelph_*.deb", start it with
# "sudo systemctl start zelph". JOBS sets the compile jobs (default: the number of
# processors).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# A build folder keeps the options it was made with (scripts/run.sh and scripts/test.sh make
# it differently); a changed compiler launcher would rebuild everything.
if [ ! -f build/CMakeCache.txt ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B build -G Ninja "${launcher[@]}" >/dev/null
fi
cmake --build build -j "${JOBS:-$(nproc)}" --target zelph-service zelph-java
rm -f build/package/*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/package/*.deb
