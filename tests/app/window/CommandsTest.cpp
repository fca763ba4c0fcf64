// The window's small commands: the mail-client launch and the two links, the
// conversions of the selection, the list buttons and picking from a list,
// letter files, font and colour, and the About box.

#include <QAbstractItemView>
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>

#include "WindowTestSupport.h"
#include "app/window/AnsiBridge.h"
#include "app/window/SortedComboBox.h"
#include "platform/SystemLocale.h"

using quillet::FontChoice;
using quillet::TSortedComboBox;
using quillet::testing::OpenedUrls;
using quillet::testing::WindowFixture;

class CommandsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowFixture> fixture_;

  QTextEdit& Editor() { return *fixture_->Find<QTextEdit>("RE1"); }
  void Click(const char* name) { QTest::mouseClick(fixture_->Find<QAbstractButton>(name), Qt::LeftButton); }
  void Trigger(const char* name) { fixture_->Find<QAction>(name)->trigger(); }
  // Selects the characters [from, to) of the editor's text.
  void Select(int from, int to) {
    QTextCursor cursor = Editor().textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    Editor().setTextCursor(cursor);
  }
  void SelectAll() { Select(0, Editor().document()->characterCount() - 1); }
  std::string EditorAnsi() { return quillet::ToAnsi(Editor().toPlainText()); }

 private slots:
  void init() { fixture_ = std::make_unique<WindowFixture>(); }
  void cleanup() { fixture_.reset(); }

  void launchHandsTheBoxesToTheMailClientEncoded() {
    OpenedUrls opened;
    fixture_->Find<TSortedComboBox>("Combo3")->SetText("a@x.example, b@y.example");
    fixture_->Find<TSortedComboBox>("Combo")->SetText("Тема & прочее");
    fixture_->Find<TSortedComboBox>("Combo1")->SetText("Привет,");
    fixture_->Find<TSortedComboBox>("Combo4")->SetText("not this one");
    Click("Button1");
    Trigger("N7");
    Trigger("N6");
    QCOMPARE(opened.Urls().size(), std::size_t(3));
    QCOMPARE(opened.Urls()[0],
             std::string("mailto:a@x.example,%20b@y.example"
                         "?Subject=%D0%A2%D0%B5%D0%BC%D0%B0%20%26%20%D0%BF%D1%80%D0%BE%D1%87%D0%B5%D0%B5"
                         "&Body=%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82%2C"));
    const std::string& author = opened.Urls()[1];
    QVERIFY(author.rfind("mailto:", 0) == 0);
    QVERIFY2(author.find("?Subject=%D0%92%D0%BF%D0%B5%D1%87%D0%B0%D1%82%D0%BB%D0%B5%D0%BD%D0%B8%D1%8F"
                         "&Body=%D0%9F%D1%80%D0%B8%D0%B2%D0%B5%D1%82%2C%20") != std::string::npos,
             author.c_str());
    QVERIFY(opened.Urls()[2].rfind("http", 0) == 0);
    QVERIFY(fixture_->Dialogs().errors.empty());
  }

  void launchWithEmptyBoxesGivesTheFixedPiecesAlone() {
    OpenedUrls opened;
    Click("Button1");
    QCOMPARE(opened.Urls(), std::vector<std::string>{"mailto:?Subject=&Body="});
  }

  void toUtf8AndBackConvertTheSelectionOnly() {
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    fixture_->Window();
    Editor().setPlainText("xАy");
    Select(1, 2);
    Click("SpeedButton9");
    QCOMPARE(EditorAnsi(), std::string("x\xD0\x90y"));
    QVERIFY(!Editor().textCursor().hasSelection());
    QCOMPARE(Editor().textCursor().position(), 3);

    // A second press finds nothing selected and changes nothing.
    Click("SpeedButton9");
    QCOMPARE(EditorAnsi(), std::string("x\xD0\x90y"));

    Select(1, 3);
    Click("SpeedButton10");
    QCOMPARE(Editor().toPlainText(), QStringLiteral("xАy"));
  }

  void roundTripKeepsParagraphsAndCyrillic() {
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    fixture_->Window();
    const QString text = QStringLiteral("Съешь же ещё этих мягких французских булок,\nда выпей чаю! №1 «ok»");
    Editor().setPlainText(text);
    SelectAll();
    Click("SpeedButton9");
    QCOMPARE(Editor().document()->blockCount(), 2);
    QVERIFY(Editor().toPlainText() != text);
    SelectAll();
    Click("SpeedButton10");
    QCOMPARE(Editor().toPlainText(), text);
  }

  void cutOffSequenceDeletesTheSelection() {
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    fixture_->Window();
    Editor().setPlainText(quillet::FromAnsi("ab\xD0\x90\xD0"));
    Select(1, 5);
    Click("SpeedButton10");
    QCOMPARE(Editor().toPlainText(), QStringLiteral("a"));
  }

  void addButtonsSortAndKeepDuplicatesClearButtonsEmptyBoxAndList() {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"Combo2", "SpeedButton3", "SpeedButton5"},
        {"Combo3", "SpeedButton4", "SpeedButton6"},
        {"Combo4", "SpeedButton7", "SpeedButton8"}};
    for (const auto& [boxName, add, clear] : rows) {
      auto* box = fixture_->Find<TSortedComboBox>(boxName);
      for (const char* text : {"b@x", "A@x", "b@x", ""}) {
        box->SetText(text);
        Click(add);
      }
      QCOMPARE(box->Items(), (QStringList{"", "A@x", "b@x", "b@x"}));
      QCOMPARE(box->Text(), QString());
      box->SetText("shown");
      Click(clear);
      QCOMPARE(box->Text(), QString());
      QCOMPARE(box->count(), 0);
    }
    QVERIFY(fixture_->Dialogs().errors.empty());
  }

  void pickingAnEntryPutsItIntoTheBox() {
    for (const char* name : {"Combo", "Combo1", "Combo2", "Combo3", "Combo4"}) {
      auto* box = fixture_->Find<TSortedComboBox>(name);
      box->SetItems({"first entry", "second entry"});
      box->SetText("typed");
      box->showPopup();
      QAbstractItemView* view = box->view();
      QTRY_VERIFY(view->isVisible());
      const QModelIndex second = view->model()->index(1, 0);
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(second).center());
      QTRY_COMPARE(box->Text(), QStringLiteral("second entry"));
      QCOMPARE(box->Items(), (QStringList{"first entry", "second entry"}));
    }
  }

  void openReadsAnyFileAsPlainText() {
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    const QString path = fixture_->WorkPath("letter.rtf");
    fixture_->WriteFile(path, "{\\rtf1 \xCF\xF0\xE8\xE2\xE5\xF2}\r\nline 2\r\n");
    fixture_->Dialogs().fileAnswers = {path, QString()};
    Trigger("N2");
    QCOMPARE(Editor().toPlainText(), QStringLiteral("{\\rtf1 Привет}\nline 2\n"));
    Trigger("N2");  // cancelled: the editor keeps its text
    QCOMPARE(Editor().toPlainText(), QStringLiteral("{\\rtf1 Привет}\nline 2\n"));

    const auto& setup = fixture_->Dialogs().fileSetups.front();
    QCOMPARE(quillet::QtFilterText(setup.filters),
             QStringLiteral("TXT файлы (*.txt);;RTF файлы (*.rtf);;HTM файлы (*.htm);;"
                            "HTML файлы (*.html);;SHTML файлы (*.shtml);;Все файлы (*.*)"));
    QCOMPARE(setup.defaultSuffix, QStringLiteral("txt"));
  }

  void openOfAMissingFileShowsTheErrorAndKeepsTheText() {
    Editor().setPlainText("kept");
    fixture_->Dialogs().fileAnswers = {fixture_->WorkPath("absent.txt")};
    Trigger("N2");
    QCOMPARE(Editor().toPlainText(), QStringLiteral("kept"));
    QCOMPARE(fixture_->Dialogs().errors.size(), std::size_t(1));
    const QString text = fixture_->Dialogs().errors.front().text;
    QVERIFY2(text.startsWith("Cannot open file \"" + fixture_->WorkPath("absent.txt") + "\". "),
             qPrintable(text));
  }

  void saveWritesPlainTextAndAddsTheDefaultExtension() {
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    Editor().setPlainText("Привет\n\nline 3");
    fixture_->Dialogs().fileAnswers = {fixture_->WorkPath("letter"), fixture_->WorkPath("page.rtf")};
    Trigger("N3");
    Trigger("N3");
    const std::string expected = "\xCF\xF0\xE8\xE2\xE5\xF2\r\n\r\nline 3";
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("letter.HTML")), expected);
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("page.rtf")), expected);
    QCOMPARE(fixture_->Dialogs().fileSetups.front().defaultSuffix, QStringLiteral("HTML"));
    QCOMPARE(quillet::QtFilterText(fixture_->Dialogs().fileSetups.front().filters),
             QStringLiteral("*.html (*.html);;*.txt (*.txt);;*.rtf (*.rtf);;Любые файлы (*.*)"));

    fixture_->Dialogs().fileAnswers = {fixture_->WorkPath("no/such/folder/x.txt")};
    Trigger("N3");
    QCOMPARE(fixture_->Dialogs().errors.size(), std::size_t(1));
    QVERIFY(fixture_->Dialogs().errors.front().text.startsWith("Cannot create file \""));
  }

  void fontAppliesToTheSelectionAndIsOfferedAgain() {
    Editor().setPlainText("plain bold");
    QFont bold = Editor().font();
    bold.setBold(true);
    bold.setUnderline(true);
    fixture_->Dialogs().fontAnswers = {FontChoice{bold, Qt::red}, std::nullopt};
    Select(6, 10);
    Trigger("N4");
    Trigger("N4");
    QTextCursor inside(Editor().document());
    inside.setPosition(8);
    QVERIFY(inside.charFormat().font().bold());
    QVERIFY(inside.charFormat().font().underline());
    QCOMPARE(inside.charFormat().foreground().color(), QColor(Qt::red));
    inside.setPosition(3);
    QVERIFY(!inside.charFormat().font().bold());
    const auto& offered = fixture_->Dialogs().fontsOffered;
    QCOMPARE(offered.size(), std::size_t(2));
    QCOMPARE(offered[0].color, QColor(Qt::black));
    QVERIFY(offered[1].font.bold());
    QCOMPARE(offered[1].color, QColor(Qt::red));
  }

  void colourSetsTheEditorBackgroundAndIsOfferedAgain() {
    fixture_->Dialogs().colorAnswers = {QColor(Qt::yellow), std::nullopt};
    Trigger("N5");
    Trigger("N5");
    QCOMPARE(Editor().palette().color(QPalette::Base), QColor(Qt::yellow));
    QCOMPARE(fixture_->Dialogs().colorsOffered,
             (std::vector<QColor>{QColor(Qt::black), QColor(Qt::yellow)}));
  }

  void aboutBoxTellsWhatTheProgramIs() {
    Trigger("N1");
    QCOMPARE(fixture_->Dialogs().abouts.size(), std::size_t(1));
    const auto& about = fixture_->Dialogs().abouts.front();
    QCOMPARE(about.caption, QStringLiteral("О..."));
    QVERIFY(about.text.startsWith(
        "Программа Quillet 1.0 является помощником в деле отправки Вами электронной почты. "));
    QVERIFY(about.text.endsWith(
        " Дата её выхода: 01.02.2003. Сейчас я занимаюсь разработкой настоящей почтовой проги."));
    QVERIFY(!about.text.contains('\n'));
  }
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
