#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and the Debian
# package (dpkg-shlibdeps, systemd-analyze) need.
# Quiet and quick when everything is present: apt-get runs only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libboost-dev libboost-program-options-dev
  libspdlog-dev libfmt-dev rapidjson-dev
  libprotobuf-dev protobuf-compiler libgrpc++-dev protobuf-compiler-grpc
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev
  libsfml-dev
  openjdk-17-jdk-headless
  libgtest-dev libgmock-dev libbenchmark-dev
  libgoogle-perftools-dev
  dpkg-dev systemd
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
