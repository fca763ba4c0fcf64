#include "app/window/DialogProvider.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QStringList>

namespace quillet {
namespace {

void ShowBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
  box.exec();
}

std::optional<QString> AskFile(QWidget* owner, const FileDialogSetup& setup,
                               QFileDialog::AcceptMode mode) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(mode);
  // An open dialog lets a name through unchecked, as the opener reports a missing file.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setNameFilter(QtFilterText(setup.filters));
  dialog.setDefaultSuffix(setup.defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

class QtDialogs : public DialogProvider {
 public:
  void ShowError(QWidget* owner, const QString& caption, const QString& text) override {
    ShowBox(owner, QMessageBox::Critical, caption, text);
  }
  void ShowAbout(QWidget* owner, const QString& caption, const QString& text) override {
    ShowBox(owner, QMessageBox::NoIcon, caption, text);
  }
  std::optional<QString> AskOpenFile(QWidget* owner, const FileDialogSetup& setup) override {
    return AskFile(owner, setup, QFileDialog::AcceptOpen);
  }
  std::optional<QString> AskSaveFile(QWidget* owner, const FileDialogSetup& setup) override {
    return AskFile(owner, setup, QFileDialog::AcceptSave);
  }
  std::optional<FontChoice> AskFont(QWidget* owner, const FontChoice& initial) override {
    bool accepted = false;
    const QFont font = QFontDialog::getFont(&accepted, initial.font, owner);
    if (!accepted) return std::nullopt;
    // The desktop's font dialog has no colour; the colour chosen last stays.
    return FontChoice{font, initial.color};
  }
  std::optional<QColor> AskColor(QWidget* owner, const QColor& initial) override {
    const QColor color = QColorDialog::getColor(initial, owner);
    if (!color.isValid()) return std::nullopt;
    return color;
  }
};

}  // namespace

std::unique_ptr<DialogProvider> MakeQtDialogs() { return std::make_unique<QtDialogs>(); }

QString QtFilterText(const std::vector<FileFilter>& filters) {
  QStringList parts;
  for (const FileFilter& filter : filters) {
    parts.push_back(filter.title + QStringLiteral(" (") + filter.pattern + QStringLiteral(")"));
  }
  return parts.join(QStringLiteral(";;"));
}

}  // namespace quillet
