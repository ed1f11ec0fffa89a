#!/usr/bin/env bash
# Proves the installed tree, not the build tree: builds the Debian package, unpacks it into
# a temporary root, checks that no installed file names the source or the build folder, that
# every binary finds its libraries relative to itself and carries the hardening of
# cmake/ZelphHardening.cmake, checks the systemd unit (systemd's own check and its offline
# security rating, at most 3.0), then runs the end-to-end test against the program of that
# root (on a free port, the Java runtime found on the system) with no capabilities, so the
# read-only program folder it makes is read-only for root too. Expects build/ to hold the
# end-to-end test.
set -euo pipefail
cd "$(dirname "$0")/.."

package=$(scripts/package.sh | tail -n 1)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$package" "$root"
prefix="$root/opt/zelph"
echo "== $package unpacked into $root"

dpkg-deb -e "$package" "$root/DEBIAN"
for script in postinst prerm postrm; do sh -n "$root/DEBIAN/$script"; done

# As the start of a path below them ("<folder>/"), so that a short folder name such as /work
# does not match a word such as "/worker".
folders=("$PWD/" "$(pwd -P)/" "$(cd build && pwd -P)/")
if grep -rlaF "${folders[@]/#/-e}" "$root"; then
  echo "FAILED: the files above name the source or the build folder (${folders[*]})"
  exit 1
fi

# FORTIFY replaces a copy by its checked "__<name>_chk" only where the compiler knows the
# size of the target, so a binary may import none; the printf family it replaces always. So:
# no binary imports an unchecked one of those, and the program imports checked functions.
always_checked='^(printf|fprintf|vprintf|vfprintf|dprintf|vdprintf)$'
status=0
elf_files=0
while IFS= read -r -d '' file; do
  head -c 4 "$file" | grep -q $'\x7fELF' || continue
  elf_files=$((elf_files + 1))
  name=${file#"$root"}
  runpath=$(readelf -d "$file" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  IFS=: read -ra entries <<< "$runpath"
  for entry in "${entries[@]}"; do
    # shellcheck disable=SC2016 # the loader's own $ORIGIN, not a shell variable
    case $entry in
      '$ORIGIN' | '$ORIGIN/'*) ;;
      *) echo "FAILED: $name has RUNPATH entry '$entry'"; status=1 ;;
    esac
  done
  imports=$(readelf --dyn-syms -W "$file" | awk '$7 == "UND" {sub(/@.*/, "", $8); print $8}')
  grep -qx '__stack_chk_fail' <<< "$imports" ||
    { echo "FAILED: $name has no stack protector (__stack_chk_fail)"; status=1; }
  if grep -Eq "$always_checked" <<< "$imports"; then
    echo "FAILED: $name imports printf functions unchecked (no FORTIFY):" \
         "$(grep -E "$always_checked" <<< "$imports" | tr '\n' ' ')"
    status=1
  fi
  # (No "grep -q" at the end of a pipe: it may end before the writer, which pipefail reports.)
  checked=$(grep -Ex '__.+_chk' <<< "$imports" | grep -vx '__stack_chk_fail' || true)
  if [ "$name" = /opt/zelph/bin/zelph-service ] && [ -z "$checked" ]; then
    echo "FAILED: $name imports no checked function (no FORTIFY)"
    status=1
  fi
  grep -q 'BIND_NOW' <<< "$(readelf -d "$file")" ||
    { echo "FAILED: $name lacks BIND_NOW"; status=1; }
  grep -q 'GNU_RELRO' <<< "$(readelf -lW "$file")" ||
    { echo "FAILED: $name lacks GNU_RELRO"; status=1; }
done < <(find "$root" -type f -print0)
[ $status -eq 0 ] || exit 1
[ $elf_files -gt 0 ] || { echo "FAILED: no ELF file in the package"; exit 1; }
echo "== $elf_files ELF files: stack protector, FORTIFY, BIND_NOW, GNU_RELRO"

unit="$root/lib/systemd/system/zelph.service"
for setting in Type=notify User=zelph NoNewPrivileges=yes ProtectSystem=strict \
               ReadWritePaths=/var/log/zelph LogsDirectory=zelph ProtectHome=yes PrivateTmp=yes \
               Restart=on-failure CapabilityBoundingSet= PrivateUsers=yes UMask=0027; do
  grep -qx "$setting" "$unit" || { echo "FAILED: the unit lacks $setting"; exit 1; }
done
# systemd's own check of every setting, the program taken from the unpacked root; an
# unknown key is only a warning there, so any word of it fails.
checked="$root/zelph.service"
sed "s|/opt/zelph/|$prefix/|g" "$unit" > "$checked"
complaints=$(systemd-analyze verify --man=no "$checked" 2>&1) || true
[ -z "$complaints" ] || { echo "FAILED: systemd-analyze verify: $complaints"; exit 1; }
# The exposure systemd rates the unit with from its settings alone ("... zelph.service: 2.9
# OK"), 0 (sandboxed) to 10 (exposed).
rating=$(systemd-analyze security --offline=yes --no-pager "$checked" 2>&1 |
         sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
[ -n "$rating" ] || { echo "FAILED: no rating from systemd-analyze security"; exit 1; }
echo "== systemd-analyze security --offline=yes: $rating"
awk -v rating="$rating" 'BEGIN { exit !(rating <= 3.0) }' ||
  { echo "FAILED: the unit's exposure $rating is above 3.0"; exit 1; }

# What can be applied without systemd: no capabilities (root's among them) and, made by the
# test, a read-only program folder.
no_capabilities=()
if [ "$(id -u)" -eq 0 ]; then
  no_capabilities=(setpriv --inh-caps=-all --ambient-caps=-all --bounding-set=-all --)
fi
ZELPH_INSTALLED_HOME="$prefix" "${no_capabilities[@]}" build/bin/end_to_end_tests
