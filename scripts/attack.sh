#!/usr/bin/env bash
# Runs each attack of examples/attack/zelph_attack.cpp on a fresh server of the build tree
# (build/bin/zelph-service with its demo configuration, moved to a free port), beside four
# honest clients, and prints one line of figures per attack: the server's resident memory
# and threads before, at their peak and after, and the honest calls refused.
#
#   scripts/attack.sh [BUILD_DIR] [ATTACK...]
#
#   BUILD_DIR a configured folder (default build); zelph-service and zelph-attack are built
#   ATTACK    any of unread text16 halfsent rapidreset hugeids asyncruns (default: all)
#
# ATTACK_SERVER_KEYS, when set, joins the "server" object of the configuration (JSON members
# without braces), e.g. ATTACK_SERVER_KEYS='"max_request_bytes_in_flight": 268435456'.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
shift || true
attacks=("$@")
[ ${#attacks[@]} -gt 0 ] || attacks=(unread text16 halfsent rapidreset hugeids asyncruns)
cmake --build "$build" -j 3 --target zelph-service zelph-attack >/dev/null

home=$(mktemp -d "${TMPDIR:-/tmp}/attack.XXXXXX")
server=
stop_server() {
  if [ -n "$server" ]; then
    kill -INT "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    server=
  fi
}
cleanup() {
  stop_server
  rm -rf "$home"
}
trap cleanup EXIT INT TERM

# The program reads the configuration beside its own file: a copy of it in a folder of
# links to the rest of the build's bin/, with the demo configuration on a free port.
mkdir -p "$home/bin"
for entry in "$build"/bin/*; do
  case $(basename "$entry") in
    config.json | zelph-service) ;;
    *) ln -s "$(realpath "$entry")" "$home/bin/" ;;
  esac
done
cp "$build/bin/zelph-service" "$home/bin/"
for entry in "$build"/*; do
  [ "$(basename "$entry")" = bin ] || ln -s "$(realpath "$entry")" "$home/" 2>/dev/null || true
done

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

for attack in "${attacks[@]}"; do
  port=$(free_port)
  sed -e "s/\"port\": [0-9]*/\"port\": $port/" -e 's/"sink": "[^"]*"/"sink": "Console"/' \
      -e 's/"severity": "[^"]*"/"severity": "critical"/' \
      -e "s/\"server\": {/\"server\": {${ATTACK_SERVER_KEYS:+${ATTACK_SERVER_KEYS},}/" \
      "$build/bin/config.json" >"$home/bin/config.json"
  "$home/bin/zelph-service" >"$home/server.log" 2>&1 &
  server=$!
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
  timeout 300 "$build/bin/zelph-attack" --address "127.0.0.1:$port" --pid "$server" \
      --attack "$attack" || echo "$attack: the attack client failed"
  kill -0 "$server" 2>/dev/null || echo "$attack: the server ended (log: $home/server.log)"
  stop_server
done
