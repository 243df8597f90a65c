#include <QCoreApplication>
#include <QMetaObject>
#include <cstdio>
#include <thread>

#include "qt/system_end.h"

void onEndOfInput(std::function<void()> end) {
  // A thread that only reads: standard input cannot be watched by the event
  // loop on every system (a pipe on Windows). What it reads is dropped.
  std::thread([end = std::move(end)] {
    char buffer[256];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), end, Qt::QueuedConnection);
  }).detach();
}
