#include "app/window/SendRunner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/window/AnsiBridge.h"
#include "app/window/ApplicationTitle.h"
#include "smtp/SMTP.h"

namespace quillet {
namespace {

constexpr int kTraceLinesKept = 500;

}  // namespace

TSendProgress::TSendProgress(QWidget* owner)
    : QDialog(owner),
      status_(new QLabel(this)),
      trace_(new QPlainTextEdit(this)),
      cancel_(new QPushButton(QStringLiteral("Отмена"), this)) {
  setObjectName(QStringLiteral("SendProgress"));
  setWindowTitle(ApplicationTitle());
  setWindowModality(Qt::ApplicationModal);
  setFixedSize(380, 220);
  status_->setObjectName(QStringLiteral("StatusLabel"));
  status_->setWordWrap(true);
  trace_->setObjectName(QStringLiteral("TraceView"));
  trace_->setReadOnly(true);
  trace_->setMaximumBlockCount(kTraceLinesKept);
  trace_->setLineWrapMode(QPlainTextEdit::NoWrap);
  trace_->setFocusPolicy(Qt::NoFocus);
  cancel_->setObjectName(QStringLiteral("CancelButton"));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(status_);
  layout->addWidget(trace_);
  layout->addLayout(buttons);
  connect(cancel_, &QPushButton::clicked, this, &TSendProgress::reject);
}

void TSendProgress::ShowStatus(const QString& text) { status_->setText(text); }

void TSendProgress::AddTraceLine(const QString& line) { trace_->appendPlainText(line); }

void TSendProgress::Reset() {
  status_->clear();
  trace_->clear();
  cancel_->setEnabled(true);
}

void TSendProgress::reject() {
  // The window closes when the conversation has ended, which Cancel makes immediate.
  cancel_->setEnabled(false);
  emit CancelRequested();
}

TSendRunner::TSendRunner(TQlSMTP& client, QWidget* owner)
    : client_(client), progress_(new TSendProgress(owner)) {
  connect(progress_, &TSendProgress::CancelRequested, this, &TSendRunner::Cancel);
}

TSendRunner::~TSendRunner() { CancelAndWait(); }

void TSendRunner::Start(LetterForm form) {
  if (Busy()) return;
  cancelled_ = false;
  client_.SetOnStatus([this](TQlComponent&, TQlStatus, const std::string& text) {
    Report(FromAnsi(text));
  });
  client_.SetOnLineTrace([this](char direction, const std::string& line) { Trace(direction, line); });
  progress_->Reset();
  progress_->show();
  worker_ = std::thread(&TSendRunner::Run, this, std::move(form), ++generation_);
}

void TSendRunner::Cancel() {
  cancelled_ = true;
  client_.Abort();
}

void TSendRunner::CancelAndWait() {
  if (!worker_.joinable()) return;
  Cancel();
  worker_.join();
  ++generation_;  // the ended send's own report, still queued, is stale now
  client_.SetOnStatus(nullptr);
  client_.SetOnLineTrace(nullptr);
  progress_->hide();
}

void TSendRunner::Run(LetterForm form, unsigned generation) {
  std::exception_ptr failure;
  try {
    SendLetter(client_, form);
  } catch (...) {
    failure = std::current_exception();
  }
  QMetaObject::invokeMethod(this, [this, failure, generation] { Done(failure, generation); }, Qt::QueuedConnection);
}

// Runs on the worker. A connection made after an early Cancel is ended here,
// at its first sign of life.
void TSendRunner::Report(const QString& status) {
  if (cancelled_) client_.Abort();
  TSendProgress* progress = progress_;
  QMetaObject::invokeMethod(
      progress_, [progress, status] { progress->ShowStatus(status); }, Qt::QueuedConnection);
}

void TSendRunner::Trace(char direction, const std::string& line) {
  if (cancelled_) client_.Abort();
  const QString text = (direction == 'C' ? QStringLiteral("> ") : QStringLiteral("< ")) + FromAnsi(line);
  TSendProgress* progress = progress_;
  QMetaObject::invokeMethod(
      progress_, [progress, text] { progress->AddTraceLine(text); }, Qt::QueuedConnection);
}

void TSendRunner::Done(std::exception_ptr failure, unsigned generation) {
  if (generation != generation_) return;
  worker_.join();
  client_.SetOnStatus(nullptr);
  client_.SetOnLineTrace(nullptr);
  progress_->hide();
  emit Finished(cancelled_ ? nullptr : failure);
}

}  // namespace quillet
