#include "ui/qt_dialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

void QtDialogs::message(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                  QString::fromStdString(text), QMessageBox::Ok, parent_);
  box.exec();
}

std::optional<std::string> QtDialogs::openFile(const std::string& current,
                                               const std::string& filter) {
  const QString path = QFileDialog::getOpenFileName(
      parent_, QString(), QString::fromStdString(current), QString::fromStdString(filter));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<std::string> QtDialogs::saveFile(const std::string& current,
                                               const std::string& filter) {
  const QString path = QFileDialog::getSaveFileName(
      parent_, QString(), QString::fromStdString(current), QString::fromStdString(filter));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

bool QtDialogs::ask(const std::string& text) {
  QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(),
                  QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::chooseFolder(const std::string& current) {
  const QString path =
      QFileDialog::getExistingDirectory(parent_, QString(), QString::fromStdString(current));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

bool QtDesktop::openDocument(const std::string& path) { return openWithDesktop(path); }
