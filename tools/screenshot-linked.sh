#!/bin/bash
# Takes docs/panel-linked.png: run under xvfb-run -s "-screen 0 1366x768x24" after a build.
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
echo "dialog $D"
xdotool windowfocus --sync $D
xdotool key --window $D Return
sleep 3
import -window root ../../docs/panel-linked.png
kill $P; sleep 0.5; kill $SIM
