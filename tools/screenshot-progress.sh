#!/bin/bash
# Takes docs/connect-dump.png (the connect dialog during the unit's dump) and
# docs/linked-load.png (a linked load of Pro.dat under way on a noisy line).
# Run under xvfb-run -s "-screen 0 1366x768x24" after a build; needs xdotool
# and imagemagick. The virtual unit waits 25 ms before each message and asks
# for resends or loses frames now and then, so the progress can be seen.
cd "$(dirname "$0")/../build/bin"
DOCS=../../docs
./karaoke-unit-sim --folder . --port 1 --latency 25 --resend 0.2 --drop 0.05 > /tmp/sim.out 2>&1 &
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
# A 5.1 model: the long dump.
xdotool key --window $D Down Down Down Down Return
sleep 3
import -window root $DOCS/connect-dump.png
sleep 10
xdotool windowfocus --sync $W
xdotool key --window $W ctrl+o
sleep 1.5
# The file dialog opens on the current preset file, Pro.dat.
xdotool key Return
sleep 15
import -window root $DOCS/linked-load.png
kill $P; sleep 0.5; kill $SIM
