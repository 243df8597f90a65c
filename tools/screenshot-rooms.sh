#!/bin/bash
# Takes docs/rooms-window.png: run under xvfb-run -s "-screen 0 1600x1000x24"
# after a build. A venue of five rooms on virtual units: two that hold their
# reference, one that a guest has changed, one without a reference, and one
# whose device server is off. The panel, in English, opens the Rooms window
# (Ctrl+R) and verifies every room (F6).
set -u
cd "$(dirname "$0")/.."
ROOT=$PWD
WORK=$(mktemp -d /tmp/kp-rooms-shot.XXXXXX)
cp -r build/bin "$WORK/panel"
P=$WORK/panel
rm -rf "$P/ports"
cp resources/config.ini "$P/config.ini"  # this version's texts
changed=$WORK/changed.txt
sims=()
for port in 41 42 43 44; do
  args=(--folder "$P" --port $port)
  if [ $port = 42 ]; then
    # The unit of room Hall: one band of music RAM2 raised by a guest.
    "$P/karaoke-unit-sim" --folder "$WORK" --port 99 --state "$changed" > /dev/null 2>&1 &
    s=$!; sleep 1; kill $s; sleep 0.5
    sed -i 's/^\(music_slot_1=[0-9]* [0-9]*\) [0-9]*/\1 18/' "$changed"
    args+=(--state "$changed")
  fi
  "$P/karaoke-unit-sim" "${args[@]}" > /dev/null 2>&1 &
  sims+=($!)
done
sleep 1
"$P/karaoke-ctl" backup COM41 "$WORK/standard.dat" --folder "$P" > /dev/null
OFF=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'room,port,file\nBar,COM41,standard.dat\nHall,COM42,standard.dat\nLounge,COM43,standard.dat\nRoom 4,COM44\nTerrace,tcp://127.0.0.1:%s,standard.dat\n' "$OFF" > "$WORK/rooms.csv"
"$P/karaoke-ini" set "$P/config.ini" config Rooms_File "$WORK/rooms.csv"
"$P/karaoke-ini" set "$P/config.ini" config COM 9
"$P/karaoke-panel" > /dev/null 2>&1 &
PANEL=$!
sleep 3
# The port of COM9 is missing: its message first.
xdotool key Return
sleep 1
W=$(xdotool search --onlyvisible --name "控制面板" | head -1)
xdotool windowfocus --sync "$W"
xdotool key --window "$W" ctrl+g
sleep 1
xdotool key --window "$W" ctrl+r
sleep 2
R=$(xdotool search --onlyvisible --name "^Rooms$" | head -1)
xdotool windowmove "$R" 40 40
xdotool windowactivate --sync "$R" 2>/dev/null || xdotool windowfocus --sync "$R"
xdotool key F6
sleep 8
import -window "$R" "$ROOT/docs/rooms-window.png"
kill $PANEL "${sims[@]}" 2>/dev/null
sleep 0.5
rm -rf "$WORK"
