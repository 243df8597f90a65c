#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "ui/qt_dialogs.h"

bool openWithDesktop(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}
