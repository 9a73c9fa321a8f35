#!/bin/sh
# The logging service's unit: systemd-analyze verify accepts an instance of
# it, and cmake --install puts it where systemd looks under the prefix.
# usage: check_log_service.sh UNIT-FOR-THE-BUILT-PROGRAM BUILD-DIR
set -eu
unit=$1
build=$2
if ! command -v systemd-analyze >/dev/null 2>&1; then
  echo "SKIP: systemd-analyze is not installed (Debian package systemd)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$unit" "$work/"
# verify loads the template for the instance; any warning fails it.
out=$(cd "$work" && systemd-analyze verify "$work/meterlink-log@bench1.service" 2>&1) || {
  echo "$out"; exit 1; }
if [ -n "$out" ]; then echo "$out"; exit 1; fi
# Its exposure as systemd scores it, read from the file alone (systemd 250
# and later): the logger is allowed only what it needs.
if systemd-analyze security --help 2>/dev/null | grep -q -- '--offline'; then
  report=$(cd "$work" && systemd-analyze security --offline=yes --threshold=40 "$work/meterlink-log@.service" 2>&1) || {
    echo "$report" | grep -v '^✓'; echo "exposure above 4.0"; exit 1; }
  echo "$report" | tail -n 1
fi
grep -q '^User=\|^DynamicUser=yes' "$unit"
grep -q '^SupplementaryGroups=dialout' "$unit"
grep -q '^Restart=on-failure' "$unit"
grep -q '^EnvironmentFile=/etc/meterlink/%i.conf' "$unit"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -f "$work/prefix/lib/systemd/system/meterlink-log@.service"
grep -q "^ExecStart=$work/prefix/bin/meterlink-cli log " "$work/prefix/lib/systemd/system/meterlink-log@.service" || {
  echo "installed unit does not start the installed program:"; grep ExecStart "$work/prefix/lib/systemd/system/meterlink-log@.service"; exit 1; }
echo "unit verified and installed"
