#pragma once
// Runs one send at a time on a worker thread, so the window keeps drawing,
// while a modal progress window shows what the conversation is doing and
// offers Cancel. Cancel aborts the client's conversation at once; a cancelled
// send reports no failure. The time limits are the send road's own.
//
// The client is used by the worker only while a send runs; the window must
// not touch it then. Destroying the runner cancels a running send and waits
// for the worker.

#include <QDialog>
#include <QObject>
#include <atomic>
#include <exception>
#include <thread>

#include "app/SendRoad.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quillet {

class TQlSMTP;

// The progress window: the latest status text, the lines of the conversation
// and the Cancel button. Closing it or pressing Escape also cancels.
class TSendProgress : public QDialog {
  Q_OBJECT

 public:
  explicit TSendProgress(QWidget* owner);
  void ShowStatus(const QString& text);
  void AddTraceLine(const QString& line);
  void Reset();

 signals:
  void CancelRequested();

 protected:
  void reject() override;

 private:
  QLabel* status_;
  QPlainTextEdit* trace_;
  QPushButton* cancel_;
};

class TSendRunner : public QObject {
  Q_OBJECT

 public:
  TSendRunner(TQlSMTP& client, QWidget* owner);
  ~TSendRunner() override;

  bool Busy() const { return worker_.joinable(); }
  // Shows the progress window and starts the send.
  void Start(LetterForm form);
  // Thread-safe; ends the conversation at once.
  void Cancel();
  // Cancels a running send and waits until the worker has ended.
  void CancelAndWait();

  TSendProgress& Progress() { return *progress_; }

 signals:
  // The send ended; failure is empty on success and after a cancel.
  void Finished(std::exception_ptr failure);

 private:
  void Run(LetterForm form, unsigned generation);
  void Report(const QString& status);
  void Trace(char direction, const std::string& line);
  void Done(std::exception_ptr failure, unsigned generation);

  TQlSMTP& client_;
  TSendProgress* progress_;
  std::thread worker_;
  std::atomic<bool> cancelled_{false};
  unsigned generation_ = 0;  // counts sends; touched on the window's thread only
};

}  // namespace quillet
