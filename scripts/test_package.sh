#!/usr/bin/env bash
# Proves the installed tree, not the build tree: builds the Debian package, unpacks it into
# a temporary root, checks that no installed file names the source or the build folder and
# that every binary finds its libraries relative to itself, checks the systemd unit, then
# runs the end-to-end test against the program of that root (on a free port, the Java
# runtime found on the system). Expects build/ to hold the end-to-end test.
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

status=0
while IFS= read -r -d '' file; do
  head -c 4 "$file" | grep -q $'\x7fELF' || continue
  runpath=$(readelf -d "$file" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
  IFS=: read -ra entries <<< "$runpath"
  for entry in "${entries[@]}"; do
    # shellcheck disable=SC2016 # the loader's own $ORIGIN, not a shell variable
    case $entry in
      '$ORIGIN' | '$ORIGIN/'*) ;;
      *) echo "FAILED: ${file#"$root"} has RUNPATH entry '$entry'"; status=1 ;;
    esac
  done
done < <(find "$root" -type f -print0)
[ $status -eq 0 ] || exit 1

unit="$root/lib/systemd/system/zelph.service"
for setting in Type=notify User=zelph NoNewPrivileges=yes ProtectSystem=strict \
               ReadWritePaths=/var/log/zelph ProtectHome=yes PrivateTmp=yes Restart=on-failure; do
  grep -qx "$setting" "$unit" || { echo "FAILED: the unit lacks $setting"; exit 1; }
done
# systemd's own check of every setting, the program taken from the unpacked root; an
# unknown key is only a warning there, so any word of it fails.
checked="$root/zelph.service"
sed "s|/opt/zelph/|$prefix/|g" "$unit" > "$checked"
complaints=$(systemd-analyze verify --man=no "$checked" 2>&1) || true
[ -z "$complaints" ] || { echo "FAILED: systemd-analyze verify: $complaints"; exit 1; }

ZELPH_INSTALLED_HOME="$prefix" build/bin/end_to_end_tests
