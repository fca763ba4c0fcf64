#include "WindowTestSupport.h"

#include <QFile>
#include <QGuiApplication>
#include <QTest>
#include <mutex>

#include "app/ShellExec.h"

namespace quillet::testing {

void ScriptedDialogs::ShowError(QWidget*, const QString& caption, const QString& text) {
  errors.push_back({caption, text});
}

void ScriptedDialogs::ShowAbout(QWidget*, const QString& caption, const QString& text) {
  abouts.push_back({caption, text});
}

namespace {

// The next scripted answer; an empty script answers Cancel.
template <class Answer>
std::optional<Answer> TakeAnswer(std::deque<std::optional<Answer>>& answers) {
  if (answers.empty()) return std::nullopt;
  std::optional<Answer> answer = std::move(answers.front());
  answers.pop_front();
  return answer;
}

}  // namespace

std::optional<QString> ScriptedDialogs::NextFile(const FileDialogSetup& setup) {
  fileSetups.push_back(setup);
  if (fileAnswers.empty()) return std::nullopt;
  const QString answer = fileAnswers.front();
  fileAnswers.pop_front();
  if (answer.isNull()) return std::nullopt;
  return answer;
}

std::optional<QString> ScriptedDialogs::AskOpenFile(QWidget*, const FileDialogSetup& setup) {
  return NextFile(setup);
}

std::optional<QString> ScriptedDialogs::AskSaveFile(QWidget*, const FileDialogSetup& setup) {
  return NextFile(setup);
}

std::optional<FontChoice> ScriptedDialogs::AskFont(QWidget*, const FontChoice& initial) {
  fontsOffered.push_back(initial);
  return TakeAnswer(fontAnswers);
}

std::optional<QColor> ScriptedDialogs::AskColor(QWidget*, const QColor& initial) {
  colorsOffered.push_back(initial);
  return TakeAnswer(colorAnswers);
}

namespace {

std::mutex urlsMutex;
std::vector<std::string> openedUrls;

void RecordUrl(const char* url) {
  std::lock_guard lock(urlsMutex);
  openedUrls.emplace_back(url);
}

}  // namespace

OpenedUrls::OpenedUrls() {
  openedUrls.clear();
  ShellExecSetOpener(&RecordUrl);
}

OpenedUrls::~OpenedUrls() { ShellExecSetOpener(nullptr); }

const std::vector<std::string>& OpenedUrls::Urls() const { return openedUrls; }

WindowFixture::WindowFixture()
    : previousFolder_(QDir::currentPath()),
      ownedDialogs_(std::make_unique<ScriptedDialogs>()),
      dialogs_(ownedDialogs_.get()) {
  QGuiApplication::setQuitOnLastWindowClosed(false);
  QDir(work_.path()).mkdir(QStringLiteral("program"));
  QDir::setCurrent(work_.path());
}

WindowFixture::~WindowFixture() {
  window_.reset();
  QDir::setCurrent(previousFolder_);
}

TMainForm& WindowFixture::Window() {
  if (!window_) {
    window_ = std::make_unique<TMainForm>(std::move(ownedDialogs_),
                                          work_.filePath(QStringLiteral("program")));
    window_->show();
    window_->activateWindow();
    if (!QTest::qWaitForWindowExposed(window_.get())) qWarning("the window was not exposed");
  }
  return *window_;
}

void WindowFixture::CloseWindow() { window_.reset(); }

QString WindowFixture::ProgramPath(const QString& name) const {
  return work_.filePath(QStringLiteral("program/") + name);
}

std::string WindowFixture::ReadFile(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}

void WindowFixture::WriteFile(const QString& path, const std::string& bytes) const {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write %s", qPrintable(path));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

}  // namespace quillet::testing
