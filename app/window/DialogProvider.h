#pragma once
// The window's dialogs and message boxes behind one interface, so the tests
// answer them without modal loops. The window owns one provider for its life.

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quillet {

struct FileFilter {
  QString title;
  QString pattern;
};

// A file dialog as the window sets it up: filters in order (the first one is
// selected), and the extension given to a name typed without one ("" for none).
struct FileDialogSetup {
  std::vector<FileFilter> filters;
  QString defaultSuffix;
};

// What the font dialog chooses: the font with its effects and its colour.
struct FontChoice {
  QFont font;
  QColor color;
};

class DialogProvider {
 public:
  virtual ~DialogProvider() = default;

  // The error box: stop icon, OK only.
  virtual void ShowError(QWidget* owner, const QString& caption, const QString& text) = 0;
  // The About box: no icon, OK only.
  virtual void ShowAbout(QWidget* owner, const QString& caption, const QString& text) = 0;
  // Each returns nothing when the user cancels.
  virtual std::optional<QString> AskOpenFile(QWidget* owner, const FileDialogSetup& setup) = 0;
  virtual std::optional<QString> AskSaveFile(QWidget* owner, const FileDialogSetup& setup) = 0;
  virtual std::optional<FontChoice> AskFont(QWidget* owner, const FontChoice& initial) = 0;
  virtual std::optional<QColor> AskColor(QWidget* owner, const QColor& initial) = 0;
};

// The desktop's own dialogs.
std::unique_ptr<DialogProvider> MakeQtDialogs();

// "TXT files (*.txt);;..." - the filters as Qt's file dialogs take them.
QString QtFilterText(const std::vector<FileFilter>& filters);

}  // namespace quillet
