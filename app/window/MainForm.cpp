#include "app/window/MainForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>

#include "app/ErrorText.h"
#include "app/FormMemory.h"
#include "app/LaunchUrl.h"
#include "app/LetterConversions.h"
#include "app/ShellExec.h"
#include "app/window/AnsiBridge.h"
#include "app/window/ApplicationTitle.h"
#include "app/window/BevelLine.h"
#include "app/window/EditorLines.h"
#include "app/window/LetterFile.h"
#include "app/window/Pictures.h"
#include "app/window/SendRunner.h"
#include "app/window/SortedComboBox.h"
#include "platform/Errors.h"
#include "smtp/SMTP.h"

namespace quillet {
namespace {

constexpr int kClientWidth = 425;
constexpr int kClientHeight = 499;
constexpr int kStoredLeft = 192;
constexpr int kStoredTop = 148;
constexpr int kLabelHeight = 13;

template <class Control>
Control* Place(Control* control, const char* name, int left, int top, int width, int height) {
  control->setObjectName(QString::fromLatin1(name));
  control->setGeometry(left, top, width, height);
  return control;
}

QLabel* MakeLabel(QWidget* panel, const char* name, int left, int top, const QString& caption) {
  auto* label = new QLabel(caption, panel);
  label->setObjectName(QString::fromLatin1(name));
  label->move(left, top);
  label->adjustSize();
  label->resize(label->width(), kLabelHeight);
  return label;
}

QLineEdit* MakeEdit(QWidget* panel, const char* name, int top, const QString& hint) {
  auto* edit = Place(new QLineEdit(panel), name, 56, top, 177, 21);
  edit->setToolTip(hint);
  return edit;
}

TSortedComboBox* MakeCombo(QWidget* panel, const char* name, int left, int top, const QString& hint) {
  auto* box = Place(new TSortedComboBox(panel), name, left, top, 177, 21);
  box->setToolTip(hint);
  return box;
}

QToolButton* MakeSpeedButton(QWidget* panel, const char* name, int left, int top, int width,
                             int height, const QString& hint) {
  auto* button = Place(new QToolButton(panel), name, left, top, width, height);
  button->setFocusPolicy(Qt::NoFocus);
  button->setToolTip(hint);
  return button;
}

QToolButton* MakeGlyphButton(QWidget* panel, const char* name, int left, int top,
                             const QString& hint, const QIcon& glyph) {
  QToolButton* button = MakeSpeedButton(panel, name, left, top, 25, 22, hint);
  button->setIcon(glyph);
  return button;
}

QToolButton* MakeTextButton(QWidget* panel, const char* name, int left, int top, int width,
                            int height, const QString& caption, const QString& hint = {}) {
  QToolButton* button = MakeSpeedButton(panel, name, left, top, width, height, hint);
  button->setText(caption);
  return button;
}

QString TextOf(const QWidget* control) {
  if (const auto* box = qobject_cast<const TSortedComboBox*>(control)) return box->Text();
  return qobject_cast<const QLineEdit*>(control)->text();
}

void SetTextOf(QWidget* control, const QString& text) {
  if (auto* box = qobject_cast<TSortedComboBox*>(control)) {
    box->SetText(text);
  } else {
    qobject_cast<QLineEdit*>(control)->setText(text);
  }
}

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

QFont FormFont() {
  const QString face = QFontDatabase::families().contains(QStringLiteral("DejaVu Sans"))
                           ? QStringLiteral("DejaVu Sans")
                           : QStringLiteral("Sans Serif");
  QFont font(face);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  return font;
}

TMainForm::TMainForm(std::unique_ptr<DialogProvider> dialogs, const QString& programDir,
                     QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(std::move(dialogs)),
      programDir_(programDir),
      smtp_(std::make_unique<TQlSMTP>()),
      lastFont_{FormFont(), QColor(Qt::black)} {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(ApplicationTitle());
  setWindowIcon(WindowIcon());
  setFont(FormFont());
  setFixedSize(kClientWidth, kClientHeight);
  move(kStoredLeft, kStoredTop);

  smtp_->SetMaxLineAction(TQlMaxLineAction::maException);
  smtp_->SetReadTimeout(0);
  smtp_->SetPort(25);
  smtp_->SetAuthenticationType(TAuthenticationType::atNone);
  sendRunner_ = std::make_unique<TSendRunner>(*smtp_, this);

  BuildControls();
  BuildMenu();
  ConnectHandlers();
  Dispatch([this] { FormCreate(); });
}

TMainForm::~TMainForm() {
  // The worker must be gone before the client it uses.
  sendRunner_.reset();
}

void TMainForm::BuildControls() {
  Panel1 = Place(new QFrame(this), "Panel1", 0, 0, kClientWidth, kClientHeight);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QWidget* panel = Panel1;

  Label2 = MakeLabel(panel, "Label2", 8, 8, QStringLiteral("Сервер:"));
  Label5 = MakeLabel(panel, "Label5", 8, 32, QStringLiteral("Порт:"));
  Label3 = MakeLabel(panel, "Label3", 8, 56, QStringLiteral("Логин:"));
  Label4 = MakeLabel(panel, "Label4", 8, 80, QStringLiteral("Пароль:"));
  Edit3 = MakeEdit(panel, "Edit3", 5, QStringLiteral("Сервак исходящих телег"));
  Edit6 = MakeEdit(panel, "Edit6", 29, QStringLiteral("Портира"));
  Edit6->setText(QStringLiteral("25"));
  Edit4 = MakeEdit(panel, "Edit4", 53, QStringLiteral("Логин"));
  Edit5 = MakeEdit(panel, "Edit5", 77, QStringLiteral("Паролец, plz"));
  Edit5->setEchoMode(QLineEdit::Password);
  Edit5->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

  Combo = MakeCombo(panel, "Combo", 240, 8, QStringLiteral("Тема сообщения"));
  Combo->SetItems({QStringLiteral("От меня, любимого (любимой) - нужное подчеркнуть"),
                   QStringLiteral("Письмецо"), QStringLiteral("Послание"),
                   QStringLiteral("Сообщение")});
  Combo1 = MakeCombo(panel, "Combo1", 240, 32, QStringLiteral("Вставка в тело письма"));
  Combo1->SetItems({QStringLiteral("Здравствуйте, "),
                    QStringLiteral("Здравствуйте, глубокоуважаемый и глубокопочитаемый "),
                    QStringLiteral("Привет,")});
  Button1 = Place(new QPushButton(QStringLiteral("Запуск"), panel), "Button1", 240, 64, 177, 33);
  Button1->setToolTip(QStringLiteral("Запуск Outlook Express с указанными параметрами"));

  Bevel2 = Place(new TBevelLine(panel), "Bevel2", 8, 104, 409, 9);
  Label1 = MakeLabel(panel, "Label1", 8, 112, QStringLiteral("От кого:"));
  Combo2 = MakeCombo(panel, "Combo2", 56, 112, QStringLiteral("Адрес отправителя"));
  SpeedButton3 = MakeGlyphButton(panel, "SpeedButton3", 240, 112,
                                 QStringLiteral("Добавить адрес в список"), AddGlyph());
  SpeedButton5 = MakeGlyphButton(panel, "SpeedButton5", 272, 112,
                                 QStringLiteral("Удалить адрес из списка"), RemoveGlyph());
  Label8 = MakeLabel(panel, "Label8", 8, 136, QStringLiteral("Кому:"));
  Combo3 = MakeCombo(panel, "Combo3", 56, 136, QStringLiteral("Адрес получателя"));
  SpeedButton4 = MakeGlyphButton(panel, "SpeedButton4", 240, 136,
                                 QStringLiteral(" Добавить адрес в список"), AddGlyph());
  SpeedButton6 = MakeGlyphButton(panel, "SpeedButton6", 272, 136,
                                 QStringLiteral("Удалить адрес из списка"), RemoveGlyph());
  Label6 = MakeLabel(panel, "Label6", 8, 160, QStringLiteral("Тема:"));
  Combo4 = MakeCombo(panel, "Combo4", 56, 160, QStringLiteral("Тема сообщения для Outlook Express"));
  SpeedButton7 = MakeGlyphButton(panel, "SpeedButton7", 240, 160,
                                 QStringLiteral("Добавить адрес в список"), AddGlyph());
  SpeedButton8 = MakeGlyphButton(panel, "SpeedButton8", 272, 160,
                                 QStringLiteral("Удалить адрес из списка"), RemoveGlyph());
  Image1 = Place(new QLabel(panel), "Image1", 312, 112, 105, 73);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setPixmap(DecorativePicture());

  SpeedButton9 = MakeTextButton(panel, "SpeedButton9", 8, 184, 41, 22, QStringLiteral("UTF8"),
                                QStringLiteral("Перекодировка из АNSI в UTF8"));
  SpeedButton10 = MakeTextButton(panel, "SpeedButton10", 56, 184, 41, 22, QStringLiteral("ANSI"),
                                 QStringLiteral("UTF8 в ANSI"));
  Bevel1 = Place(new TBevelLine(panel), "Bevel1", 8, 208, 409, 9);
  Label7 = MakeLabel(panel, "Label7", 8, 216, QStringLiteral("Текст письма:"));

  RE1 = Place(new QTextEdit(panel), "RE1", 8, 232, 409, 225);
  RE1->setAcceptRichText(false);
  RE1->setLineWrapMode(QTextEdit::WidgetWidth);
  RE1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RE1->setTabChangesFocus(true);

  SpeedButton1 = MakeTextButton(panel, "SpeedButton1", 8, 464, 353, 25,
                                QStringLiteral("Отправить письмо"));
  SpeedButton1->setAutoRaise(true);
  SpeedButton1->setIcon(SendGlyph());
  SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  SpeedButton2 = MakeTextButton(panel, "SpeedButton2", 368, 464, 49, 25, QStringLiteral("Выход"));

  for (QWidget* passive : {static_cast<QWidget*>(Panel1), static_cast<QWidget*>(Image1)}) {
    passive->setFocusPolicy(Qt::NoFocus);
  }
  QWidget* order[] = {Edit3, Edit6, Edit4, Edit5, RE1, Combo1, Combo, Button1, Combo2, Combo3, Combo4};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
}

void TMainForm::BuildMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  const std::pair<QAction**, const char16_t*> items[] = {
      {&N1, u"О..."},         {&N2, u"Открыть файл"}, {&N3, u"Сохранить файл"}, {&N4, u"Шрифт"},
      {&N5, u"Цвет"},         {&N6, u"Сайт автора"},  {&N7, u"Мыло автора"}};
  int number = 1;
  for (const auto& [action, caption] : items) {
    *action = PopupMenu1->addAction(QString::fromUtf16(caption));
    (*action)->setObjectName(QStringLiteral("N%1").arg(number++));
  }
  Panel1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Panel1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(Panel1->mapToGlobal(at)); });
  RE1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(RE1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(RE1->viewport()->mapToGlobal(at)); });
}

void TMainForm::ConnectClick(QToolButton* button, void (TMainForm::*handler)()) {
  connect(button, &QToolButton::clicked, this, [this, handler] { Dispatch([=, this] { (this->*handler)(); }); });
}

void TMainForm::ConnectHandlers() {
  ConnectClick(SpeedButton1, &TMainForm::SpeedButton1Click);
  ConnectClick(SpeedButton2, &TMainForm::SpeedButton2Click);
  ConnectClick(SpeedButton3, &TMainForm::SpeedButton3Click);
  ConnectClick(SpeedButton4, &TMainForm::SpeedButton4Click);
  ConnectClick(SpeedButton5, &TMainForm::SpeedButton5Click);
  ConnectClick(SpeedButton6, &TMainForm::SpeedButton6Click);
  ConnectClick(SpeedButton7, &TMainForm::SpeedButton7Click);
  ConnectClick(SpeedButton8, &TMainForm::SpeedButton8Click);
  ConnectClick(SpeedButton9, &TMainForm::SpeedButton9Click);
  ConnectClick(SpeedButton10, &TMainForm::SpeedButton10Click);
  connect(Button1, &QPushButton::clicked, this, [this] { Dispatch([this] { Button1Click(); }); });

  const std::pair<QAction*, void (TMainForm::*)()> menu[] = {
      {N1, &TMainForm::N1Click}, {N2, &TMainForm::N2Click}, {N3, &TMainForm::N3Click},
      {N4, &TMainForm::N4Click}, {N5, &TMainForm::N5Click}, {N6, &TMainForm::N6Click},
      {N7, &TMainForm::N7Click}};
  for (const auto& [action, handler] : menu) {
    connect(action, &QAction::triggered, this, [this, handler = handler] {
      Dispatch([=, this] { (this->*handler)(); });
    });
  }

  const std::pair<TSortedComboBox*, void (TMainForm::*)()> boxes[] = {
      {Combo, &TMainForm::ComboSelect},   {Combo1, &TMainForm::Combo1Select},
      {Combo2, &TMainForm::Combo2Select}, {Combo3, &TMainForm::Combo3Select},
      {Combo4, &TMainForm::Combo4Select}};
  for (const auto& [box, handler] : boxes) {
    connect(box, &TSortedComboBox::Picked, this, [this, handler = handler] {
      Dispatch([=, this] { (this->*handler)(); });
    });
  }
  connect(sendRunner_.get(), &TSendRunner::Finished, this, &TMainForm::OnSendFinished);
}

bool TMainForm::Dispatch(const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const EAbort&) {
    // Silent by design.
  } catch (const Exception& error) {
    ShowError(error.Message());
  } catch (const std::exception& error) {
    ShowError(error.what());
  } catch (...) {
    // Nothing may leave a handler into the event loop.
    ShowError("Unknown error");
  }
  return false;
}

void TMainForm::ShowError(const std::string& ansiMessage) {
  dialogs_->ShowError(this, ApplicationTitle(), FromAnsi(ErrorBoxText(ansiMessage)));
}

// ---- settings and lists ----

std::unique_ptr<FormMemory> TMainForm::MakeFormMemory() const {
  return std::make_unique<FormMemory>(FormMemory::SettingsPathFor(LocalPath(programDir_)),
                                      std::string());
}

std::array<TSortedComboBox*, 5> TMainForm::RememberedBoxes() const {
  return {Combo, Combo1, Combo2, Combo3, Combo4};
}

std::array<QWidget*, 9> TMainForm::RememberedTextControls() const {
  return {Combo, Combo1, Combo2, Combo3, Combo4, Edit3, Edit6, Edit4, Edit5};
}

void TMainForm::FormCreate() {
  const std::unique_ptr<FormMemory> memory = MakeFormMemory();
  const auto controls = RememberedTextControls();
  std::array<std::string, kRememberedTextCount> current;
  for (std::size_t i = 0; i < controls.size(); ++i) current[i] = ToAnsi(TextOf(controls[i]));
  const auto restored = memory->RestoreTexts(current);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (restored[i] != current[i]) SetTextOf(controls[i], FromAnsi(restored[i]));
  }
  const auto boxes = RememberedBoxes();
  memory->RestoreLists([&boxes](RememberedList list, StringList items) {
    boxes[static_cast<std::size_t>(list)]->SetItems(FromAnsiList(items));
  });
}

void TMainForm::FormClose() {
  const std::unique_ptr<FormMemory> memory = MakeFormMemory();
  std::array<StringList, kRememberedListCount> lists;
  const auto boxes = RememberedBoxes();
  for (std::size_t i = 0; i < boxes.size(); ++i) lists[i] = ToAnsiList(boxes[i]->Items());
  memory->SaveLists(lists);
  std::array<std::string, kRememberedTextCount> texts;
  const auto controls = RememberedTextControls();
  for (std::size_t i = 0; i < controls.size(); ++i) texts[i] = ToAnsi(TextOf(controls[i]));
  memory->SaveTexts(texts);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  sendRunner_->CancelAndWait();
  if (Dispatch([this] { FormClose(); })) {
    event->accept();
  } else {
    event->ignore();
  }
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (centred_ || screen() == nullptr) return;
  centred_ = true;
  const QRect area = screen()->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

// ---- send ----

LetterForm TMainForm::ReadLetterForm() {
  LetterForm form;
  form.lines = DisplayedLines(*RE1);
  form.sender = ToAnsi(Combo2->Text());
  form.recipient = ToAnsi(Combo3->Text());
  form.subject = ToAnsi(Combo4->Text());
  form.login = ToAnsi(Edit4->text());
  form.password = ToAnsi(Edit5->text());
  form.server = ToAnsi(Edit3->text());
  form.portText = ToAnsi(Edit6->text());
  return form;
}

void TMainForm::SpeedButton1Click() {
  if (sendRunner_->Busy()) return;
  sendRunner_->Start(ReadLetterForm());
}

void TMainForm::OnSendFinished(std::exception_ptr failure) {
  Dispatch([&failure] {
    if (failure) std::rethrow_exception(failure);
  });
}

void TMainForm::SpeedButton2Click() { close(); }

// ---- mail client and links ----

void TMainForm::Button1Click() {
  const std::string url =
      BuildLaunchUrl(ToUtf8(Combo3->Text()), ToUtf8(Combo->Text()), ToUtf8(Combo1->Text()));
  ShellExec(url.c_str());
}

void TMainForm::N6Click() { ShellExec(AuthorSiteUrl().c_str()); }

void TMainForm::N7Click() { ShellExec(AuthorMailUrl().c_str()); }

// ---- About ----

QString TMainForm::AboutText() {
  return QStringLiteral(
      "Программа Quillet 1.0 является помощником в деле отправки Вами электронной почты. "
      "Её написали разработчики проекта Quillet. "
      "Дата её выхода: 01.02.2003. "
      "Сейчас я занимаюсь разработкой настоящей почтовой проги.");
}

void TMainForm::N1Click() { dialogs_->ShowAbout(this, QStringLiteral("О..."), AboutText()); }

// ---- letter files, font and colour ----

FileDialogSetup TMainForm::OpenDialogSetup() {
  return {{{QStringLiteral("TXT файлы"), QStringLiteral("*.txt")},
           {QStringLiteral("RTF файлы"), QStringLiteral("*.rtf")},
           {QStringLiteral("HTM файлы"), QStringLiteral("*.htm")},
           {QStringLiteral("HTML файлы"), QStringLiteral("*.html")},
           {QStringLiteral("SHTML файлы"), QStringLiteral("*.shtml")},
           {QStringLiteral("Все файлы"), QStringLiteral("*.*")}},
          QStringLiteral("txt")};
}

FileDialogSetup TMainForm::SaveDialogSetup() {
  return {{{QStringLiteral("*.html"), QStringLiteral("*.html")},
           {QStringLiteral("*.txt"), QStringLiteral("*.txt")},
           {QStringLiteral("*.rtf"), QStringLiteral("*.rtf")},
           {QStringLiteral("Любые файлы"), QStringLiteral("*.*")}},
          QStringLiteral("HTML")};
}

void TMainForm::N2Click() {
  const FileDialogSetup setup = OpenDialogSetup();
  const std::optional<QString> chosen = dialogs_->AskOpenFile(this, setup);
  if (!chosen) return;
  const std::string path = WithDefaultExtension(LocalPath(*chosen), LocalPath(setup.defaultSuffix));
  RE1->setPlainText(WithLineFeeds(FromAnsi(LoadLetterFile(path))));
}

void TMainForm::N3Click() {
  const FileDialogSetup setup = SaveDialogSetup();
  const std::optional<QString> chosen = dialogs_->AskSaveFile(this, setup);
  if (!chosen) return;
  const std::string path = WithDefaultExtension(LocalPath(*chosen), LocalPath(setup.defaultSuffix));
  QString text = RE1->toPlainText();
  text.replace(QChar(u'\n'), QStringLiteral("\r\n"));
  SaveLetterFile(path, ToAnsi(text));
}

void TMainForm::N4Click() {
  const std::optional<FontChoice> choice = dialogs_->AskFont(this, lastFont_);
  if (!choice) return;
  lastFont_ = *choice;
  QTextCharFormat format;
  format.setForeground(choice->color);
  format.setFont(choice->font);
  // Applies to the selection, or to what is typed next at the caret.
  RE1->mergeCurrentCharFormat(format);
}

void TMainForm::N5Click() {
  const std::optional<QColor> color = dialogs_->AskColor(this, lastColor_);
  if (!color) return;
  lastColor_ = *color;
  QPalette palette = RE1->palette();
  palette.setColor(QPalette::Base, *color);
  RE1->setPalette(palette);
}

// ---- conversions of the selection ----

void TMainForm::ReplaceSelection(const std::function<std::string(std::string_view)>& convert) {
  QTextCursor cursor = RE1->textCursor();
  if (!cursor.hasSelection()) return;
  const std::string selected = ToAnsi(WithLineFeeds(cursor.selectedText()));
  cursor.insertText(WithLineFeeds(FromAnsi(convert(selected))));
  RE1->setTextCursor(cursor);
}

void TMainForm::SpeedButton9Click() { ReplaceSelection(AnsiToUtf8Bytes); }

void TMainForm::SpeedButton10Click() { ReplaceSelection(Utf8BytesToAnsi); }

// ---- list commands ----

void TMainForm::AddToList(TSortedComboBox& box) { box.AddItem(box.Text()); }

void TMainForm::ClearList(TSortedComboBox& box) { box.ClearAll(); }

void TMainForm::TakePicked(TSortedComboBox& box) { box.SetText(box.lineEdit()->selectedText()); }

void TMainForm::SpeedButton3Click() { AddToList(*Combo2); }
void TMainForm::SpeedButton4Click() { AddToList(*Combo3); }
void TMainForm::SpeedButton7Click() { AddToList(*Combo4); }
void TMainForm::SpeedButton5Click() { ClearList(*Combo2); }
void TMainForm::SpeedButton6Click() { ClearList(*Combo3); }
void TMainForm::SpeedButton8Click() { ClearList(*Combo4); }
void TMainForm::ComboSelect() { TakePicked(*Combo); }
void TMainForm::Combo1Select() { TakePicked(*Combo1); }
void TMainForm::Combo2Select() { TakePicked(*Combo2); }
void TMainForm::Combo3Select() { TakePicked(*Combo3); }
void TMainForm::Combo4Select() { TakePicked(*Combo4); }

}  // namespace quillet
