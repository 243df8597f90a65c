#!/bin/bash
# Takes docs/equalise.png: run under xvfb-run -s "-screen 0 1600x1000x24"
# after a build. Switches the panel to English, opens Edit > Equalise from
# measurement, opens docs/room-example.txt with the window's Open button
# (it has the focus) and a tilt of -0.5 dB per octave as the target.
cd "$(dirname "$0")/../build/bin"
ROOM=$(realpath ../../docs/room-example.txt)
./karaoke-panel &
P=$!
sleep 3
W=$(xdotool search --onlyvisible --name "控制面板" | head -1)
xdotool windowfocus --sync $W
xdotool key --window $W ctrl+g
sleep 0.5
# The Edit menu's last item.
xdotool key --window $W alt+e
sleep 0.5
xdotool key Up Return
sleep 1
D=$(xdotool search --onlyvisible --name "Equalise from measurement" | head -1)
xdotool windowmove $D 120 150
xdotool windowfocus --sync $D
xdotool key --window $D space
sleep 1.5
xdotool type --delay 20 "$ROOM"
xdotool key Return
sleep 1
xdotool windowfocus --sync $D
# Target: Tilt, -0.5 dB per octave (its default).
xdotool key --window $D Tab Tab Down
sleep 1
import -window root ../../docs/equalise.png
kill $P
