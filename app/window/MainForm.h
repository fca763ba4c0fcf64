#pragma once
// The program's one window: the server and letter boxes, the letter editor,
// the right-click menu and the commands behind them. Every handler is thin:
// it reads the controls, calls the program logic and shows what fails.
//
// Every handler runs inside Dispatch: an escaping error is shown in the error
// box (caption "Quillet 1.0", stop icon, ErrorBoxText of its message) and the
// window goes on; an EAbort is not shown. Creating the window restores the
// remembered texts and lists (FormCreate); closing it saves them (FormClose),
// and a failure there keeps the window open.

#include <QColor>
#include <QWidget>
#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/SendRoad.h"
#include "app/window/DialogProvider.h"

class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTextEdit;
class QToolButton;
class QAction;

namespace quillet {

class FormMemory;
class TQlSMTP;
class TSendRunner;
class TSortedComboBox;

class TMainForm : public QWidget {
  Q_OBJECT

 public:
  // programDir: the folder whose settings file is used (see
  // FormMemory::SettingsPathFor); the list files live in the working directory.
  TMainForm(std::unique_ptr<DialogProvider> dialogs, const QString& programDir,
            QWidget* parent = nullptr);
  ~TMainForm() override;

  // Runs the handler; an escaping error is shown. True when it completed.
  bool Dispatch(const std::function<void()>& handler);

  // ---- handlers, named after control and event ----
  void FormCreate();
  void FormClose();
  void SpeedButton1Click();  // send the letter
  void SpeedButton2Click();  // exit
  void Button1Click();       // hand the letter to the mail client
  void N1Click();            // About
  void N2Click();            // open a file into the editor
  void N3Click();            // save the editor into a file
  void N4Click();            // font of the selection
  void N5Click();            // background colour of the editor
  void N6Click();            // the author's web site
  void N7Click();            // a letter to the author
  void SpeedButton9Click();  // selection from ANSI to UTF-8
  void SpeedButton10Click(); // selection from UTF-8 to ANSI
  void SpeedButton3Click();  // add the sender to its list
  void SpeedButton4Click();  // add the recipient to its list
  void SpeedButton7Click();  // add the subject to its list
  void SpeedButton5Click();  // clear the sender box and its list
  void SpeedButton6Click();  // clear the recipient box and its list
  void SpeedButton8Click();  // clear the subject box and its list
  void ComboSelect();        // an entry picked from a list
  void Combo1Select();
  void Combo2Select();
  void Combo3Select();
  void Combo4Select();

  // The send in progress, if any (for the progress window).
  TSendRunner& SendRunner() { return *sendRunner_; }
  TQlSMTP& SMTP() { return *smtp_; }

  static FileDialogSetup OpenDialogSetup();
  static FileDialogSetup SaveDialogSetup();
  static QString AboutText();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void BuildMenu();
  void ConnectHandlers();
  void OnSendFinished(std::exception_ptr failure);
  void ShowError(const std::string& ansiMessage);
  LetterForm ReadLetterForm();
  void ConnectClick(QToolButton* button, void (TMainForm::*handler)());
  void AddToList(TSortedComboBox& box);
  void ClearList(TSortedComboBox& box);
  void TakePicked(TSortedComboBox& box);
  void ReplaceSelection(const std::function<std::string(std::string_view)>& convert);
  std::unique_ptr<FormMemory> MakeFormMemory() const;
  std::array<TSortedComboBox*, 5> RememberedBoxes() const;
  std::array<QWidget*, 9> RememberedTextControls() const;

  std::unique_ptr<DialogProvider> dialogs_;
  QString programDir_;
  std::unique_ptr<TQlSMTP> smtp_;
  std::unique_ptr<TSendRunner> sendRunner_;
  FontChoice lastFont_;
  QColor lastColor_ = Qt::black;
  bool centred_ = false;

  QFrame* Panel1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label8 = nullptr;
  QWidget* Bevel1 = nullptr;
  QWidget* Bevel2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QLineEdit* Edit5 = nullptr;
  QLineEdit* Edit6 = nullptr;
  TSortedComboBox* Combo = nullptr;
  TSortedComboBox* Combo1 = nullptr;
  TSortedComboBox* Combo2 = nullptr;
  TSortedComboBox* Combo3 = nullptr;
  TSortedComboBox* Combo4 = nullptr;
  QPushButton* Button1 = nullptr;
  QLabel* Image1 = nullptr;
  QTextEdit* RE1 = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QToolButton* SpeedButton3 = nullptr;
  QToolButton* SpeedButton4 = nullptr;
  QToolButton* SpeedButton5 = nullptr;
  QToolButton* SpeedButton6 = nullptr;
  QToolButton* SpeedButton7 = nullptr;
  QToolButton* SpeedButton8 = nullptr;
  QToolButton* SpeedButton9 = nullptr;
  QToolButton* SpeedButton10 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* N1 = nullptr;
  QAction* N2 = nullptr;
  QAction* N3 = nullptr;
  QAction* N4 = nullptr;
  QAction* N5 = nullptr;
  QAction* N6 = nullptr;
  QAction* N7 = nullptr;
};

// The window's font: a sans-serif of 11 pixels (DejaVu Sans when installed).
QFont FormFont();

}  // namespace quillet
