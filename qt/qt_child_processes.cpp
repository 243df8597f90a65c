#include "qt/qt_child_processes.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>

#include "qt/child_window.h"

namespace {
// How long a child asked to stop may take to unlink its unit.
constexpr int kStopMs = 3000;
}  // namespace

QtChildProcesses::~QtChildProcesses() {
  // Each child is asked to stop first, so that it unlinks its unit; one that
  // does not end in time is killed.
  for (auto& [id, child] : children_) {
    child.process->disconnect();
    if (child.process->state() != QProcess::NotRunning) child.process->closeWriteChannel();
  }
  // They stop side by side: one deadline for all of them.
  QElapsedTimer clock;
  clock.start();
  for (auto& [id, child] : children_) {
    if (child.process->state() == QProcess::NotRunning) continue;
    const int left = static_cast<int>(std::max<qint64>(0, kStopMs - clock.elapsed()));
    if (!child.process->waitForFinished(left)) child.process->kill();
  }
  for (auto& [id, child] : children_)
    if (child.process->state() != QProcess::NotRunning) child.process->waitForFinished(1000);
}

void QtChildProcesses::start(int id, const std::string& program,
                             const std::vector<std::string>& args) {
  Child& child = children_[id];
  child.process = std::make_unique<QProcess>();
  QProcess* p = child.process.get();
  QStringList list;
  for (const std::string& a : args) list << QString::fromStdString(a);
  QObject::connect(p, &QProcess::readyReadStandardOutput, p, [this, id] { drain(id, false); });
  QObject::connect(p, &QProcess::readyReadStandardError, p, [this, id] { drain(id, false); });
  QObject::connect(p, &QProcess::finished, p, [this, id](int code, QProcess::ExitStatus status) {
    drain(id, true);
    if (onFinished)
      onFinished(id, status == QProcess::NormalExit ? code : -1,
                 status == QProcess::NormalExit ? "" : "it crashed");
  });
  QObject::connect(p, &QProcess::errorOccurred, p, [this, id, p](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart && onFinished)
      onFinished(id, -1, p->errorString().toStdString());
  });
  startWithoutConsole(*p);
  p->start(QString::fromStdString(program), list);
}

void QtChildProcesses::stop(int id) {
  auto it = children_.find(id);
  if (it != children_.end() && it->second.process->state() != QProcess::NotRunning)
    it->second.process->closeWriteChannel();
}

void QtChildProcesses::drain(int id, bool final) {
  auto it = children_.find(id);
  if (it == children_.end()) return;
  Child& c = it->second;
  c.out += c.process->readAllStandardOutput();
  c.err += c.process->readAllStandardError();
  auto lines = [&](QByteArray& buffer, const std::function<void(int, const std::string&)>& to) {
    qsizetype nl;
    while ((nl = buffer.indexOf('\n')) >= 0) {
      QByteArray line = buffer.left(nl);
      buffer.remove(0, nl + 1);
      if (line.endsWith('\r')) line.chop(1);
      if (to) to(id, line.toStdString());
    }
    if (final && !buffer.isEmpty()) {
      if (to) to(id, buffer.toStdString());
      buffer.clear();
    }
  };
  lines(c.out, onOutputLine);
  lines(c.err, onErrorLine);
}
