#!/bin/bash
# Takes docs/panel-compare.png: run under xvfb-run -s "-screen 0 1600x1000x24"
# after a build. Links to the virtual unit, shapes both equalisers from the
# keyboard (the marks show where each band stood), then compares the music
# equaliser with its reference (Ctrl+1).
cd "$(dirname "$0")/../build/bin"
./karaoke-unit-sim --folder . --port 1 > /tmp/sim.out 2>&1 &
SIM=$!
sleep 1
./karaoke-panel &
P=$!
sleep 3
W=$(xdotool search --onlyvisible --name "控制面板" | head -1)
xdotool windowfocus --sync $W
xdotool key --window $W ctrl+l
sleep 1
D=$(xdotool search --onlyvisible --name "连接" | head -1)
xdotool windowfocus --sync $D
xdotool key --window $D Return
sleep 3
xdotool windowfocus --sync $W
k() { xdotool key --window $W --delay 30 "$@"; }
tabs() { for _ in $(seq "$1"); do k Tab; done; }
# Music bands 1..5 lifted, 10 and 13..14 cut, 22..24 lifted; Tab walks the
# faders left to right.
k Tab Up Up Up Up Tab Up Up Up Up Up Up Tab Up Up Up Up Up Tab Up Up Up Tab Up
tabs 5; k Down Down Down
tabs 3; k Down Down Down Down Down Tab Down Down Down Down
tabs 8; k Up Up Up Tab Up Up Up Up Tab Up Up
# On past the master, the key steps and the section's buttons to the
# microphone bands: a cut at 250..400.
tabs $((7 + 1 + 15 + 3 + 1 + 1 + 11)); k Down Down Down Tab Down Down Down Down Tab Down Down
k ctrl+1
sleep 1
import -window root ../../docs/panel-compare.png
kill $P; sleep 0.5; kill $SIM
