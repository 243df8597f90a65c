#!/usr/bin/env bash
# Installs the Windows installer silently into a fresh Wine prefix, starts
# the installed panel under Xvfb against the virtual unit (karaoke-unit-sim on
# a pseudo-terminal mapped to COM1), links it as an operator would, takes
# docs/windows-panel-linked.png, closes the panel and uninstalls.
#   tools/windows/smoke-test.sh dist/karaoke-panel-setup-VERSION.exe
set -euo pipefail
SETUP=$(realpath "$1")
cd "$(dirname "$0")/../.."
ROOT=$PWD
WORK=$(mktemp -d /tmp/kp-smoke.XXXXXX)
SIM_PID= XVFB_PID= PANEL_PID= S2N_PID= ROOM_SIM_PID= ROOM_S2N_PID=
cleanup() {
  [ -z "$PANEL_PID" ] || kill "$PANEL_PID" 2>/dev/null || true
  [ -z "$ROOM_S2N_PID" ] || kill "$ROOM_S2N_PID" 2>/dev/null || true
  [ -z "$ROOM_SIM_PID" ] || kill "$ROOM_SIM_PID" 2>/dev/null || true
  WINEPREFIX=$WORK/prefix wineserver -k 2>/dev/null || true
  [ -z "$S2N_PID" ] || kill "$S2N_PID" 2>/dev/null || true
  [ -z "$SIM_PID" ] || kill "$SIM_PID" 2>/dev/null || true
  [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# Serves the terminal PTY over RFC 2217 on a free loopback port through
# ser2net, its files in DIR; sets SERVED_PORT and SERVED_PID.
serve_rfc2217() {
  local dir=$1 pty=$2
  SERVED_PORT=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat > "$dir/ser2net.yaml" <<YAML
connection: &kp
  accepter: telnet(rfc2217),tcp,127.0.0.1,$SERVED_PORT
  connector: serialdev,$pty,28800e81,local
  options:
    kickolduser: true
    chardelay: false
YAML
  ser2net -n -u -P "$dir/ser2net.pid" -c "$dir/ser2net.yaml" > "$dir/ser2net.log" 2>&1 &
  SERVED_PID=$!
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$SERVED_PORT") 2>/dev/null && break; sleep 0.1; done
}

fail() {
  echo "smoke test FAILED: $*"
  [ -f "$WORK/sim.log" ] && tail -20 "$WORK/sim.log"
  [ -f "$WORK/panel.out" ] && tail -20 "$WORK/panel.out"
  [ -n "${DISPLAY:-}" ] && import -window root "${TMPDIR:-/tmp}/kp-smoke-failed.png" 2>/dev/null &&
    echo "screen at the failure: ${TMPDIR:-/tmp}/kp-smoke-failed.png"
  exit 1
}

# CPU time of the panel's process (and of wineserver, which serves its
# system calls) over SECONDS, as percent of one core.
cpu_figure() {  # LABEL SECONDS
  local panel server p0 s0 p1 s1
  # Every process whose command line names the program (Wine's loader and the
  # program itself): the loader's share is nil.
  panel=$(pgrep -d ' ' -f 'karaoke-panel\.exe' || true)
  server=$(pgrep -d ' ' wineserver || true)
  [ -n "$panel" ] || { echo "   CPU $1: the panel's process was not found"; return; }
  ticks() { local t=0 pid; for pid in "$@"; do t=$((t + $(awk '{print $14+$15}' "/proc/$pid/stat" 2>/dev/null || echo 0))); done; echo $t; }
  p0=$(ticks $panel); s0=$(ticks $server)
  sleep "$2"
  p1=$(ticks $panel); s1=$(ticks $server)
  awk -v p=$((p1 - p0)) -v w=$((s1 - s0)) -v hz="$(getconf CLK_TCK)" -v s="$2" -v l="$1" \
    'BEGIN { printf "   CPU %s over %d s: panel %.2f %% of a core, wineserver %.2f %%\n", l, s, 100*p/hz/s, 100*w/hz/s }'
}

# The virtual unit is a Linux program.
cmake -S . -B build-sim -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKP_BUILD_UI=OFF -DKP_BUILD_TESTS=OFF >/dev/null
cmake --build build-sim --target karaoke-unit-sim karaoke-ini -j"$(nproc)" >/dev/null
gcc -shared -fPIC -O2 -o "$WORK/wine-pty-shim.so" tools/windows/wine-pty-shim.c -ldl

build-sim/bin/karaoke-unit-sim --folder "$WORK" --port 1 --log "$WORK/sim.log" >/dev/null 2>&1 &
SIM_PID=$!
for _ in $(seq 50); do [ -L "$WORK/ports/com1" ] && break; sleep 0.1; done
PTY=$(readlink "$WORK/ports/com1") || fail "the virtual unit did not start"

DISPLAY_NO=$(( 90 + RANDOM % 100 ))
Xvfb ":$DISPLAY_NO" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$DISPLAY_NO"
sleep 1

# COM1 is the unit's pseudo-terminal, every other port nothing.
prefix=$(tools/windows/wine-prefix.sh "$WORK/prefix" "$PTY")
[ "$(readlink "$prefix/dosdevices/com1")" = "$PTY" ] || fail "COM1 is not mapped to $PTY"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

echo "== installing silently"
wine "$SETUP" /S
INST="$prefix/drive_c/Program Files/Karaoke Panel"
for f in bin/karaoke-panel.exe bin/karaoke-ini.exe bin/karaoke-ctl.exe bin/Qt6Widgets.dll bin/Qt6Network.dll bin/platforms/qwindows.dll \
         share/karaoke-panel/config.ini share/karaoke-panel/Pro.dat uninstall.exe; do
  [ -f "$INST/$f" ] || fail "the installer did not install $f"
done
ls "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/" | grep -q "Karaoke Panel" ||
  fail "no Start-menu entry"

echo "== starting the installed panel"
LD_PRELOAD=$WORK/wine-pty-shim.so wine "C:\\Program Files\\Karaoke Panel\\bin\\karaoke-panel.exe" \
  > "$WORK/panel.out" 2>&1 &
PANEL_PID=$!
main=$(timeout 60 xdotool search --sync --onlyvisible --name "控制面板" | head -n 1) ||
  fail "the main window did not appear"
# Under Wine the first paints and font loads take some seconds.
sleep 8
cpu_figure "unlinked, idle" 10
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+l
dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "连接" | head -n 1) ||
  fail "the connect dialog did not open"
xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
xdotool key --window "$dialog" Return
for _ in $(seq 100); do grep -q "dump 83 = " "$WORK/sim.log" && break; sleep 0.2; done
grep -q "dump 83 = " "$WORK/sim.log" || fail "the panel did not link"
sleep 2
mkdir -p docs
import -window root docs/windows-panel-linked.png
echo "   linked; screenshot in docs/windows-panel-linked.png"
cpu_figure "linked, idle" 10

echo "== closing: the unit must hear the disconnect"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+e
for _ in $(seq 50); do kill -0 "$PANEL_PID" 2>/dev/null || break; sleep 0.2; done
kill -0 "$PANEL_PID" 2>/dev/null && fail "the panel did not end"
PANEL_PID=
grep -q "disconnect)" "$WORK/sim.log" || fail "the disconnect frame did not reach the unit"
APPDATA_DIR="$prefix/drive_c/users/$(id -un)/AppData/Roaming/karaoke-panel"
[ -f "$APPDATA_DIR/config.ini" ] || fail "no per-user folder in %APPDATA%"

echo "== linking again, through ser2net on loopback (RFC 2217)"
# The same unit, now behind a serial device server; the panel's COM1 stands
# for it through [ports] of the per-user config.ini.
serve_rfc2217 "$WORK" "$PTY"
S2N_PORT=$SERVED_PORT S2N_PID=$SERVED_PID
build-sim/bin/karaoke-ini set "$APPDATA_DIR/config.ini" ports COM1 "rfc2217://127.0.0.1:$S2N_PORT" ||
  fail "cannot write [ports] into the per-user config.ini"
links_before=$(grep -c "dump 83 = " "$WORK/sim.log")
wine "C:\\Program Files\\Karaoke Panel\\bin\\karaoke-panel.exe" > "$WORK/panel2.out" 2>&1 &
PANEL_PID=$!
main=$(timeout 60 xdotool search --sync --onlyvisible --name "控制面板" | head -n 1) ||
  fail "the main window did not appear the second time"
sleep 3
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+l
dialog=$(timeout 20 xdotool search --sync --onlyvisible --name "连接" | head -n 1) ||
  fail "the connect dialog did not open the second time"
xdotool windowactivate --sync "$dialog" 2>/dev/null || xdotool windowfocus --sync "$dialog"
xdotool key --window "$dialog" Return
for _ in $(seq 100); do [ "$(grep -c "dump 83 = " "$WORK/sim.log")" -gt "$links_before" ] && break; sleep 0.2; done
[ "$(grep -c "dump 83 = " "$WORK/sim.log")" -gt "$links_before" ] || fail "the panel did not link through ser2net"
echo "   linked through ser2net"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+e
for _ in $(seq 50); do kill -0 "$PANEL_PID" 2>/dev/null || break; sleep 0.2; done
kill -0 "$PANEL_PID" 2>/dev/null && fail "the panel did not end the second time"
PANEL_PID=
kill "$S2N_PID" 2>/dev/null || true
S2N_PID=

echo "== the Rooms window checks a room behind a device server"
# A second unit, reached by the room's own port: the panel keeps COM1.
mkdir -p "$WORK/room"
build-sim/bin/karaoke-unit-sim --folder "$WORK/room" --port 2 --log "$WORK/room.log" >/dev/null 2>&1 &
ROOM_SIM_PID=$!
for _ in $(seq 50); do [ -L "$WORK/room/ports/com2" ] && break; sleep 0.1; done
ROOM_PTY=$(readlink "$WORK/room/ports/com2") || fail "the room's virtual unit did not start"
serve_rfc2217 "$WORK/room" "$ROOM_PTY"
ROOM_PORT=$SERVED_PORT ROOM_S2N_PID=$SERVED_PID
printf 'room,port\r\nBar,rfc2217://127.0.0.1:%s\r\n' "$ROOM_PORT" > "$APPDATA_DIR/rooms.csv"
# COM1 is the first unit's terminal again: its device server has gone.
build-sim/bin/karaoke-ini set "$APPDATA_DIR/config.ini" ports COM1 "" ||
  fail "cannot clear [ports] COM1 in the per-user config.ini"
build-sim/bin/karaoke-ini set "$APPDATA_DIR/config.ini" config Rooms_File \
  "C:\\users\\$(id -un)\\AppData\\Roaming\\karaoke-panel\\rooms.csv" ||
  fail "cannot write Rooms_File into the per-user config.ini"
LD_PRELOAD=$WORK/wine-pty-shim.so wine "C:\\Program Files\\Karaoke Panel\\bin\\karaoke-panel.exe" \
  > "$WORK/panel3.out" 2>&1 &
PANEL_PID=$!
main=$(timeout 60 xdotool search --sync --onlyvisible --name "控制面板" | head -n 1) ||
  fail "the main window did not appear the third time"
sleep 3
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+r
rooms=$(timeout 20 xdotool search --sync --onlyvisible --name "房间" | head -n 1) ||
  fail "the Rooms window did not open"
xdotool windowactivate --sync "$rooms" 2>/dev/null || xdotool windowfocus --sync "$rooms"
xdotool key --window "$rooms" F5
# karaoke-ctl.exe links to the room's unit, then unlinks it.
for _ in $(seq 150); do grep -q "disconnect)" "$WORK/room.log" && break; sleep 0.2; done
grep -q "dump 93 = \|dump 83 = " "$WORK/room.log" || fail "the Rooms window's check did not reach the room's unit"
grep -q "disconnect)" "$WORK/room.log" || fail "the room's unit was not unlinked after the check"
sleep 2
import -window root docs/windows-rooms.png
echo "   the room answered its check; screenshot in docs/windows-rooms.png"
xdotool key --window "$rooms" Escape
sleep 1
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+e
for _ in $(seq 50); do kill -0 "$PANEL_PID" 2>/dev/null || break; sleep 0.2; done
kill -0 "$PANEL_PID" 2>/dev/null && fail "the panel did not end the third time"
PANEL_PID=
kill "$ROOM_S2N_PID" "$ROOM_SIM_PID" 2>/dev/null || true
ROOM_S2N_PID= ROOM_SIM_PID=

echo "== uninstalling silently"
wine "C:\\Program Files\\Karaoke Panel\\uninstall.exe" /S
for _ in $(seq 100); do [ -e "$INST" ] || break; sleep 0.2; done
[ -e "$INST" ] && fail "the uninstaller left $(find "$INST" | head -5)"
[ -f "$APPDATA_DIR/Pro.dat" ] || fail "the uninstaller removed the user's presets"
echo "smoke test passed: installed, started, linked on COM1, disconnected, linked through ser2net, checked a room from the Rooms window, uninstalled (presets kept)"
