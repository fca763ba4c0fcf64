// The program: the application object, the title, the one window and the
// event loop. "--grab FILE" draws the window once into a PNG file and ends
// (used to picture the window for the documentation).

#include <QApplication>
#include <QPixmap>
#include <QStringList>
#include <cstdio>

#include "app/window/DialogProvider.h"
#include "app/window/MainForm.h"
#include "app/window/Pictures.h"

namespace {

int GrabWindow(quillet::TMainForm& form, const QString& file) {
  form.show();
  QApplication::processEvents();
  if (!form.grab().save(file, "PNG")) {
    std::fprintf(stderr, "Cannot write %s\n", qPrintable(file));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QApplication::setApplicationVersion(QStringLiteral("1.0"));
  QApplication::setWindowIcon(quillet::WindowIcon());

  quillet::TMainForm form(quillet::MakeQtDialogs(), QApplication::applicationDirPath());
  const QStringList arguments = QApplication::arguments();
  const qsizetype grab = arguments.indexOf(QStringLiteral("--grab"));
  if (grab > 0 && grab + 1 < arguments.size()) return GrabWindow(form, arguments.at(grab + 1));

  form.show();
  return QApplication::exec();
}
