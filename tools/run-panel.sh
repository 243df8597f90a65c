#!/usr/bin/env bash
# Installs what is missing, builds, and starts the panel.
#
#   tools/run-panel.sh            the panel with the virtual unit on the port
#                                 it opens, ready to link; the unit stops when
#                                 the panel ends
#   tools/run-panel.sh --port N   the panel on COMN as configured (its [ports]
#                                 entry, ports/comN, or the system's own port),
#                                 with no virtual unit; N is stored as the
#                                 port choice, as the port dialog would
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '4,10p' "$0" | sed 's/^# \{0,1\}//'; }
port=""
while [ $# -gt 0 ]; do
  case "$1" in
    --port)
      [ $# -ge 2 ] || { usage >&2; exit 2; }
      port="$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run-panel.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
done
if [ -n "$port" ] && ! [[ "$port" =~ ^([1-9]|10)$ ]]; then
  echo "run-panel.sh: --port takes 1..10, as the port dialog does" >&2
  exit 2
fi

tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target karaoke-panel karaoke-ctl karaoke-unit-sim karaoke-ini kp_resources

bin=build/bin
ini() { "$bin/karaoke-ini" "$@"; }

if [ -n "$port" ]; then
  ini set "$bin/config.ini" config COM "$port"
  exec "$bin/karaoke-panel"
fi

# The port the panel will open, as it reads it (1 when unreadable).
n=$(ini get "$bin/config.ini" config COM 2>/dev/null || true)
[[ "$n" =~ ^([1-9]|10)$ ]] || { n=1; ini set "$bin/config.ini" config COM 1; }

served=$(ini get "$bin/config.ini" ports "COM$n" 2>/dev/null || true)
link="$bin/ports/com$n"
if [ -n "$served" ]; then
  echo "run-panel.sh: COM$n is $served ([ports] of $bin/config.ini); no virtual unit started"
  exec "$bin/karaoke-panel"
fi
if [ -L "$link" ] && [[ "$(readlink "$link")" != /dev/pts/* ]]; then
  echo "run-panel.sh: COM$n is $link -> $(readlink "$link"); no virtual unit started"
  exec "$bin/karaoke-panel"
fi
if [ -e "$link" ] && [ ! -L "$link" ]; then
  echo "run-panel.sh: $link is not a link; move it away or use --port $n" >&2
  exit 1
fi

# A link to a pseudo-terminal is an earlier virtual unit's: it goes first,
# so that the wait below sees the new one.
rm -f "$link"
# The virtual unit serves ports/comN, which the panel opens before the
# system's own port: no serial port of this machine is touched.
"$bin/karaoke-unit-sim" --folder "$bin" --port "$n" > /dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -L "$link" ] && [[ "$(readlink "$link")" == /dev/pts/* ]] && break
  kill -0 "$sim" 2>/dev/null || { echo "run-panel.sh: karaoke-unit-sim did not start" >&2; exit 1; }
  sleep 0.05
done
echo "run-panel.sh: the virtual unit serves COM$n; link with Device > Link"
"$bin/karaoke-panel"
