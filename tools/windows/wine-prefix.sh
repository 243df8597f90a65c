#!/usr/bin/env bash
# Makes a Wine prefix in which no COM port reaches the machine's own serial
# ports. A fresh prefix maps COMn to /dev/ttyS<n-1>, and /dev/ttyS0 is often
# the system console; every COM port is therefore mapped through the key
# HKLM\Software\Wine\Ports: COM1 to the device given (a pseudo-terminal of
# the virtual unit), all others to nothing.
#   tools/windows/wine-prefix.sh PREFIX [COM1-DEVICE]
set -euo pipefail
prefix=$1
com1=${2:-}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
reg=$(mktemp --suffix=.reg)
{
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
  printf '"COM1"="%s"\r\n' "$com1"
  for n in $(seq 2 255); do printf '"COM%s"=""\r\n' "$n"; done
} > "$reg"
wine regedit /S "$(winepath -w "$reg" 2>/dev/null || echo "Z:${reg//\//\\}")" >/dev/null 2>&1
wineserver -w
rm -f "$reg"
# Wine rebuilds dosdevices from the key at its next start; drop any link to a
# machine port that is left over from before.
for link in "$prefix"/dosdevices/com*; do
  [ -L "$link" ] || continue
  case "$(readlink "$link")" in /dev/ttyS*|/dev/ttyUSB*|/dev/ttyACM*) rm -f "$link" ;; esac
done
if [ -n "$com1" ]; then
  ln -sfn "$com1" "$prefix/dosdevices/com1"
fi
echo "$prefix"
