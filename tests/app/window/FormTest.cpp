// The window as the user first meets it: its controls, the right-click menu,
// what it restores at start and saves at close, and how errors are shown.

#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <QFileInfo>

#include "WindowTestSupport.h"
#include "app/window/SortedComboBox.h"
#include "platform/Errors.h"
#include "platform/SystemLocale.h"

using quillet::TSortedComboBox;
using quillet::testing::WindowFixture;

namespace {

const QStringList kLaunchSubjects = {
    QStringLiteral("От меня, любимого (любимой) - нужное подчеркнуть"), QStringLiteral("Письмецо"),
    QStringLiteral("Послание"), QStringLiteral("Сообщение")};
const QStringList kGreetings = {QStringLiteral("Здравствуйте, "),
                                QStringLiteral("Здравствуйте, глубокоуважаемый и глубокопочитаемый "),
                                QStringLiteral("Привет,")};

// The built-in lists as the list files hold them: code page 1251, CR LF after each.
const std::string kLaunchSubjectsFile =
    "\xCE\xF2 \xEC\xE5\xED\xFF, \xEB\xFE\xE1\xE8\xEC\xEE\xE3\xEE (\xEB\xFE\xE1\xE8\xEC\xEE\xE9) - "
    "\xED\xF3\xE6\xED\xEE\xE5 \xEF\xEE\xE4\xF7\xE5\xF0\xEA\xED\xF3\xF2\xFC\r\n"
    "\xCF\xE8\xF1\xFC\xEC\xE5\xF6\xEE\r\n"
    "\xCF\xEE\xF1\xEB\xE0\xED\xE8\xE5\r\n"
    "\xD1\xEE\xEE\xE1\xF9\xE5\xED\xE8\xE5\r\n";
const std::string kGreetingsFile =
    "\xC7\xE4\xF0\xE0\xE2\xF1\xF2\xE2\xF3\xE9\xF2\xE5, \r\n"
    "\xC7\xE4\xF0\xE0\xE2\xF1\xF2\xE2\xF3\xE9\xF2\xE5, \xE3\xEB\xF3\xE1\xEE\xEA\xEE\xF3\xE2\xE0\xE6"
    "\xE0\xE5\xEC\xFB\xE9 \xE8 \xE3\xEB\xF3\xE1\xEE\xEA\xEE\xEF\xEE\xF7\xE8\xF2\xE0\xE5\xEC\xFB\xE9 \r\n"
    "\xCF\xF0\xE8\xE2\xE5\xF2,\r\n";

QString TextOf(QWidget* control) {
  if (auto* box = qobject_cast<TSortedComboBox*>(control)) return box->Text();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
  if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
  return {};
}

}  // namespace

class FormTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowFixture> fixture_;

 private slots:
  void init() { fixture_ = std::make_unique<WindowFixture>(); }
  void cleanup() { fixture_.reset(); }

  void controlsSitWhereTheFormPutsThem_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    auto row = [](const char* name, QRect geometry, const QString& text, const QString& hint) {
      QTest::newRow(name) << QString::fromLatin1(name) << geometry << text << hint;
    };
    row("Edit3", {56, 5, 177, 21}, "", "Сервак исходящих телег");
    row("Edit6", {56, 29, 177, 21}, "25", "Портира");
    row("Edit4", {56, 53, 177, 21}, "", "Логин");
    row("Edit5", {56, 77, 177, 21}, "", "Паролец, plz");
    row("Combo", {240, 8, 177, 21}, "", "Тема сообщения");
    row("Combo1", {240, 32, 177, 21}, "", "Вставка в тело письма");
    row("Button1", {240, 64, 177, 33}, "Запуск", "Запуск Outlook Express с указанными параметрами");
    row("Combo2", {56, 112, 177, 21}, "", "Адрес отправителя");
    row("SpeedButton3", {240, 112, 25, 22}, "", "Добавить адрес в список");
    row("SpeedButton5", {272, 112, 25, 22}, "", "Удалить адрес из списка");
    row("Combo3", {56, 136, 177, 21}, "", "Адрес получателя");
    row("SpeedButton4", {240, 136, 25, 22}, "", " Добавить адрес в список");
    row("SpeedButton6", {272, 136, 25, 22}, "", "Удалить адрес из списка");
    row("Combo4", {56, 160, 177, 21}, "", "Тема сообщения для Outlook Express");
    row("SpeedButton7", {240, 160, 25, 22}, "", "Добавить адрес в список");
    row("SpeedButton8", {272, 160, 25, 22}, "", "Удалить адрес из списка");
    row("Image1", {312, 112, 105, 73}, "", "");
    row("SpeedButton9", {8, 184, 41, 22}, "UTF8", "Перекодировка из АNSI в UTF8");
    row("SpeedButton10", {56, 184, 41, 22}, "ANSI", "UTF8 в ANSI");
    row("RE1", {8, 232, 409, 225}, "", "");
    row("SpeedButton1", {8, 464, 353, 25}, "Отправить письмо", "");
    row("SpeedButton2", {368, 464, 49, 25}, "Выход", "");
  }

  void controlsSitWhereTheFormPutsThem() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QString, hint);
    auto* control = fixture_->Window().findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->parentWidget()->objectName(), QStringLiteral("Panel1"));
    QCOMPARE(control->geometry(), geometry);
    QCOMPARE(TextOf(control), text);
    QCOMPARE(control->toolTip(), hint);
  }

  void labelsShowTheirCaptions() {
    const std::pair<const char*, QString> labels[] = {
        {"Label2", "Сервер:"}, {"Label5", "Порт:"}, {"Label3", "Логин:"},  {"Label4", "Пароль:"},
        {"Label1", "От кого:"}, {"Label8", "Кому:"}, {"Label6", "Тема:"}, {"Label7", "Текст письма:"}};
    for (const auto& [name, caption] : labels) {
      auto* label = fixture_->Find<QLabel>(name);
      QVERIFY2(label != nullptr, name);
      QCOMPARE(label->text(), caption);
      QCOMPARE(label->height(), 13);
    }
  }

  void windowIsFixedAndTitled() {
    quillet::TMainForm& window = fixture_->Window();
    QCOMPARE(window.windowTitle(), QStringLiteral("Quillet 1.0"));
    QCOMPARE(window.size(), QSize(425, 499));
    QCOMPARE(window.minimumSize(), window.maximumSize());
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(fixture_->Find<QLineEdit>("Edit5")->echoMode(), QLineEdit::Password);
    QVERIFY(fixture_->Find<QToolButton>("SpeedButton1")->autoRaise());
    QVERIFY(!fixture_->Find<QToolButton>("SpeedButton3")->autoRaise());
  }

  void tabWalksTheBoxesInFormOrderAndSkipsSpeedButtons() {
    quillet::TMainForm& window = fixture_->Window();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const char* order[] = {"Edit3", "Edit6", "Edit4", "Edit5",  "RE1",   "Combo1",
                           "Combo", "Button1", "Combo2", "Combo3", "Combo4", "Edit3"};
    fixture_->Find<QWidget>("Edit3")->setFocus();
    for (const char* name : order) {
      QWidget* expected = fixture_->Find<QWidget>(name);
      QWidget* focused = QApplication::focusWidget();
      QVERIFY2(focused == expected || expected->isAncestorOf(focused), name);
      QTest::keyClick(focused, Qt::Key_Tab);
    }
    for (int i = 1; i <= 10; ++i) {
      const QByteArray name = "SpeedButton" + QByteArray::number(i);
      QCOMPARE(fixture_->Find<QToolButton>(name.constData())->focusPolicy(), Qt::NoFocus);
    }
  }

  void rightClickOnPanelOrEditorOpensTheMenu() {
    auto* menu = fixture_->Find<QMenu>("PopupMenu1");
    QVERIFY(menu != nullptr);
    QStringList captions;
    QStringList names;
    for (QAction* action : menu->actions()) {
      captions << action->text();
      names << action->objectName();
    }
    QCOMPARE(captions, (QStringList{"О...", "Открыть файл", "Сохранить файл", "Шрифт", "Цвет",
                                    "Сайт автора", "Мыло автора"}));
    QCOMPARE(names, (QStringList{"N1", "N2", "N3", "N4", "N5", "N6", "N7"}));

    auto* panel = fixture_->Find<QWidget>("Panel1");
    auto* editor = fixture_->Find<QTextEdit>("RE1");
    const std::pair<QWidget*, QPoint> spots[] = {{panel, QPoint(300, 80)},
                                                  {editor->viewport(), QPoint(20, 20)}};
    for (const auto& [target, spot] : spots) {
      QContextMenuEvent event(QContextMenuEvent::Mouse, spot, target->mapToGlobal(spot));
      QApplication::sendEvent(target, &event);
      QTRY_VERIFY(menu->isVisible());
      menu->hide();
    }
  }

  void firstRunShowsDefaultsAndExitWritesEveryFile() {
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    quillet::TMainForm& window = fixture_->Window();
    for (const char* name : {"Edit3", "Edit4", "Edit5"}) {
      QCOMPARE(fixture_->Find<QLineEdit>(name)->text(), QString());
    }
    QCOMPARE(fixture_->Find<QLineEdit>("Edit6")->text(), QStringLiteral("25"));
    QCOMPARE(fixture_->Find<TSortedComboBox>("Combo")->Items(), kLaunchSubjects);
    QCOMPARE(fixture_->Find<TSortedComboBox>("Combo1")->Items(), kGreetings);
    for (const char* name : {"Combo", "Combo1", "Combo2", "Combo3", "Combo4"}) {
      QCOMPARE(fixture_->Find<TSortedComboBox>(name)->Text(), QString());
    }
    for (const char* name : {"Combo2", "Combo3", "Combo4"}) {
      QCOMPARE(fixture_->Find<TSortedComboBox>(name)->count(), 0);
    }

    QTest::mouseClick(fixture_->Find<QToolButton>("SpeedButton2"), Qt::LeftButton);
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(fixture_->Dialogs().errors.empty());
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("Theme1.txt")), kLaunchSubjectsFile);
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("Body.txt")), kGreetingsFile);
    for (const char* name : {"From.txt", "To.txt", "Theme.txt"}) {
      QCOMPARE(fixture_->ReadFile(fixture_->WorkPath(name)), std::string());
    }
    const std::string settings = fixture_->ReadFile(fixture_->ProgramPath("Quillet.ini"));
    for (const char* line : {"[PORT]", "Pop3Port=25", "[NOCH]", "Par=", "[THEME1]", "Theme1="}) {
      QVERIFY2(settings.find(line) != std::string::npos, line);
    }
    QVERIFY(!QFileInfo::exists(fixture_->WorkPath("Quillet.ini")));
  }

  void restoresTextsAndListsFromFiles() {
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    fixture_->WriteFile(fixture_->ProgramPath("Quillet.ini"),
                        "[FROM]\r\nFrom=me@here.example\r\n[TO]\r\nTo=\xC8\xE2\xE0\xED <ivan@x.example>\r\n"
                        "[PORT]\r\nPop3Port=abc\r\n[NOCH]\r\nPar=p@ss word\r\n[THEME1]\r\nTheme1=free text\r\n");
    fixture_->WriteFile(fixture_->WorkPath("From.txt"), "b@x\na@x");
    fixture_->WriteFile(fixture_->WorkPath("To.txt"), "z@x\r\nB@x\r\nz@x\r\n\r\n");
    fixture_->WriteFile(fixture_->WorkPath("Body.txt"), "");
    fixture_->Window();

    auto* from = fixture_->Find<TSortedComboBox>("Combo2");
    auto* to = fixture_->Find<TSortedComboBox>("Combo3");
    QCOMPARE(from->Items(), (QStringList{"a@x", "b@x"}));
    QCOMPARE(from->Text(), QStringLiteral("me@here.example"));
    QCOMPARE(to->Items(), (QStringList{"", "B@x", "z@x", "z@x"}));
    QCOMPARE(to->Text(), QStringLiteral("Иван <ivan@x.example>"));
    QCOMPARE(fixture_->Find<TSortedComboBox>("Combo1")->count(), 0);
    QCOMPARE(fixture_->Find<TSortedComboBox>("Combo")->Items(), kLaunchSubjects);
    QCOMPARE(fixture_->Find<TSortedComboBox>("Combo")->Text(), QStringLiteral("free text"));
    QCOMPARE(fixture_->Find<TSortedComboBox>("Combo4")->count(), 0);
    QCOMPARE(fixture_->Find<QLineEdit>("Edit6")->text(), QStringLiteral("abc"));
    QCOMPARE(fixture_->Find<QLineEdit>("Edit5")->text(), QStringLiteral("p@ss word"));
    QVERIFY(fixture_->Dialogs().errors.empty());

    // The title-bar close box saves as "Выход" does.
    fixture_->Window().close();
    QVERIFY(!fixture_->Window().isVisible());
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("From.txt")), std::string("a@x\r\nb@x\r\n"));
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("To.txt")), std::string("\r\nB@x\r\nz@x\r\nz@x\r\n"));
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("Body.txt")), std::string());
    const std::string settings = fixture_->ReadFile(fixture_->ProgramPath("Quillet.ini"));
    QVERIFY(settings.find("Pop3Port=abc") != std::string::npos);
    QVERIFY(settings.find("Par=p@ss word") != std::string::npos);
    QVERIFY(settings.find("To=\xC8\xE2\xE0\xED <ivan@x.example>") != std::string::npos);
  }

  void unwritableListFileKeepsTheWindowOpen() {
    fixture_->WriteFile(fixture_->WorkPath("Theme.txt"), "kept\r\n");
    QVERIFY(QDir(fixture_->WorkPath("")).mkpath("To.txt/inside"));
    quillet::TMainForm& window = fixture_->Window();
    fixture_->Find<TSortedComboBox>("Combo4")->AddItem("new");

    window.close();
    QVERIFY(window.isVisible());
    QCOMPARE(fixture_->Dialogs().errors.size(), std::size_t(1));
    const auto& box = fixture_->Dialogs().errors.front();
    QCOMPARE(box.caption, QStringLiteral("Quillet 1.0"));
    QVERIFY2(box.text.startsWith("Cannot create file \"" + QDir::current().absoluteFilePath("To.txt") +
                                 "\". "),
             qPrintable(box.text));
    // The later list and the settings were not written; nothing was cut short.
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("Theme.txt")), std::string("kept\r\n"));
    QCOMPARE(fixture_->ReadFile(fixture_->ProgramPath("Quillet.ini")), std::string("<missing>"));

    QVERIFY(QDir(fixture_->WorkPath("To.txt")).removeRecursively());
    window.close();
    QVERIFY(!window.isVisible());
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("Theme.txt")), std::string("kept\r\nnew\r\n"));
  }

  void errorBoxShowsTheMessageWithItsPeriodRule_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("refused connection keeps its one period")
        << 0 << QByteArray("Socket Error # 10061\r\nConnection refused.")
        << QStringLiteral("Socket Error # 10061\r\nConnection refused.");
    QTest::newRow("conversion message ends in a letter") << 1
        << QByteArray("'abc' is not a valid integer value")
        << QStringLiteral("'abc' is not a valid integer value.");
    QTest::newRow("digit gets a period") << 1 << QByteArray("code 5") << QStringLiteral("code 5.");
    QTest::newRow("closing bracket stays") << 1 << QByteArray("(x)") << QStringLiteral("(x)");
    QTest::newRow("trailing blank stays") << 1 << QByteArray("x ") << QStringLiteral("x ");
    QTest::newRow("Cyrillic from the code page") << 1 << QByteArray("\xCE\xF8\xE8\xE1\xEA\xE0")
        << QStringLiteral("Ошибка.");
    QTest::newRow("silent abort shows nothing") << 2 << QByteArray("Operation aborted") << QString();
  }

  void errorBoxShowsTheMessageWithItsPeriodRule() {
    QFETCH(int, kind);
    QFETCH(QByteArray, message);
    QFETCH(QString, shown);
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    quillet::TMainForm& window = fixture_->Window();
    const std::string text = message.toStdString();
    const bool completed = window.Dispatch([&] {
      if (kind == 0) throw quillet::EQlSocketError(10061, text);
      if (kind == 1) throw quillet::EConvertError(text);
      throw quillet::EAbort(text);
    });
    QVERIFY(!completed);
    const auto& errors = fixture_->Dialogs().errors;
    if (shown.isNull()) {
      QVERIFY(errors.empty());
      return;
    }
    QCOMPARE(errors.size(), std::size_t(1));
    QCOMPARE(errors.front().caption, QStringLiteral("Quillet 1.0"));
    QCOMPARE(errors.front().text, shown);
    QVERIFY(window.isVisible());
  }
};

QTEST_MAIN(FormTest)
#include "FormTest.moc"
