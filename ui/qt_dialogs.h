#pragma once
// The core's message boxes, file dialogs and desktop hand-off, on Qt Widgets.
#include <optional>
#include <string>

#include "core/ports.h"

class QWidget;

// Message boxes with one OK button under the application's display name, and
// the platform's file dialogs. Paths go in and come out as UTF-8.
class QtDialogs : public kp::Dialogs {
 public:
  // The window the dialogs belong to; null centres them on the screen.
  void setParent(QWidget* parent) { parent_ = parent; }
  QWidget* parent() const { return parent_; }

  void message(const std::string& text) override;
  // filter is a pattern list such as "*.dat".
  std::optional<std::string> openFile(const std::string& current,
                                      const std::string& filter) override;
  std::optional<std::string> saveFile(const std::string& current,
                                      const std::string& filter) override;
  bool ask(const std::string& text) override;
  std::optional<std::string> chooseFolder(const std::string& current) override;

 private:
  QWidget* parent_ = nullptr;
};

// Hands a document (UTF-8 path) to the desktop's default handler: the shell's
// "open" verb on Windows, the desktop's URL handler elsewhere
// (open_document_windows.cpp, open_document_posix.cpp).
bool openWithDesktop(const std::string& path);

class QtDesktop : public kp::Desktop {
 public:
  bool openDocument(const std::string& path) override;
};
