#pragma once
// When the system ends the program rather than the operator: on Linux the
// signals of a logout, a shutdown or `kill` (SIGTERM, SIGHUP) and an
// interrupt (SIGINT); on Windows the end of the session (WM_ENDSESSION) and,
// for a console program, its console closed or interrupted. The program then
// shuts down as when its window is closed. One implementation per platform
// (system_end_*.cpp).
#include <functional>

// Runs `end` on the user-interface thread when the system ends the program.
// A second request while the program is still ending ends it at once. Call
// once, with the application object made; `end` must be done with the
// program's own shut-down when it returns (on Windows the system may end the
// process right after).
void onSystemEnd(std::function<void()> end);

// Runs `end` on the user-interface thread when standard input reaches its
// end: how a rooms run asks the process of one room to stop (closing its
// input), on every system alike.
void onEndOfInput(std::function<void()> end);
