#pragma once
// Helpers of the window tests: dialogs that answer from a script and record
// what they were shown, the URLs handed to the desktop, and a fixture that
// gives every test a fresh working folder and program folder.

#include <QColor>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/window/DialogProvider.h"
#include "app/window/MainForm.h"

namespace quillet::testing {

struct ShownBox {
  QString caption;
  QString text;
};

class ScriptedDialogs : public DialogProvider {
 public:
  void ShowError(QWidget* owner, const QString& caption, const QString& text) override;
  void ShowAbout(QWidget* owner, const QString& caption, const QString& text) override;
  std::optional<QString> AskOpenFile(QWidget* owner, const FileDialogSetup& setup) override;
  std::optional<QString> AskSaveFile(QWidget* owner, const FileDialogSetup& setup) override;
  std::optional<FontChoice> AskFont(QWidget* owner, const FontChoice& initial) override;
  std::optional<QColor> AskColor(QWidget* owner, const QColor& initial) override;

  // Shown so far.
  std::vector<ShownBox> errors;
  std::vector<ShownBox> abouts;
  std::vector<FileDialogSetup> fileSetups;
  std::vector<FontChoice> fontsOffered;
  std::vector<QColor> colorsOffered;

  // Answers, taken in order; an empty queue answers Cancel, and so does a
  // null file name.
  std::deque<QString> fileAnswers;
  std::deque<std::optional<FontChoice>> fontAnswers;
  std::deque<std::optional<QColor>> colorAnswers;

 private:
  std::optional<QString> NextFile(const FileDialogSetup& setup);
};

// Records every URL handed to ShellExec while it lives.
class OpenedUrls {
 public:
  OpenedUrls();
  ~OpenedUrls();
  OpenedUrls(const OpenedUrls&) = delete;
  OpenedUrls& operator=(const OpenedUrls&) = delete;
  const std::vector<std::string>& Urls() const;
};

// A fresh working folder (made current) holding the program folder "program";
// the window is made on demand and shown.
class WindowFixture {
 public:
  WindowFixture();
  ~WindowFixture();

  TMainForm& Window();  // made and shown at the first call
  ScriptedDialogs& Dialogs() { return *dialogs_; }
  void CloseWindow();   // drops the window without saving anything
  QString WorkPath(const QString& name) const { return work_.filePath(name); }
  QString ProgramPath(const QString& name) const;

  // Bytes of a file, "<missing>" when there is none.
  std::string ReadFile(const QString& path) const;
  void WriteFile(const QString& path, const std::string& bytes) const;

  template <class Control>
  Control* Find(const char* name) {
    return Window().findChild<Control*>(QString::fromLatin1(name));
  }

 private:
  QString previousFolder_;
  QTemporaryDir work_;
  std::unique_ptr<ScriptedDialogs> ownedDialogs_;
  ScriptedDialogs* dialogs_;
  std::unique_ptr<TMainForm> window_;
};

}  // namespace quillet::testing
