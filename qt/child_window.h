#pragma once
// How a child process of a program with windows is started: on Windows a
// console program (karaoke-ctl.exe) would otherwise flash a console window
// of its own for every room. One implementation per platform.
class QProcess;

void startWithoutConsole(QProcess& process);
