// Sending from the window: the letter goes out on a worker while a progress
// window shows the conversation; failures reach the error box, a cancel ends
// the conversation at once and shows nothing.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include "WindowTestSupport.h"
#include "app/window/SendRunner.h"
#include "app/window/SortedComboBox.h"
#include "platform/SystemLocale.h"
#include "support/AiosmtpdServer.h"
#include "support/ScriptedServer.h"

using quillet::TSortedComboBox;
using quillet::testing::AiosmtpdOptions;
using quillet::testing::AiosmtpdServer;
using quillet::testing::ScriptedServer;
using quillet::testing::WindowFixture;

namespace {

constexpr int kSendLimitMs = 30000;

const QString kParagraph = QStringLiteral(
    "This paragraph is long enough that the letter editor has to wrap it onto several lines, "
    "and each of those displayed lines goes out as a line of its own, just as the user sees "
    "them on the screen before pressing the send button.");

}  // namespace

class SendTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowFixture> fixture_;

  void FillBoxes(uint16_t port, const QString& password = QStringLiteral("s3cret")) {
    fixture_->Find<QLineEdit>("Edit3")->setText("127.0.0.1");
    fixture_->Find<QLineEdit>("Edit6")->setText(QString::number(port));
    fixture_->Find<QLineEdit>("Edit4")->setText("quillet");
    fixture_->Find<QLineEdit>("Edit5")->setText(password);
    fixture_->Find<TSortedComboBox>("Combo2")->SetText("Sender <from@example.org>");
    fixture_->Find<TSortedComboBox>("Combo3")->SetText("to@example.org");
    fixture_->Find<TSortedComboBox>("Combo4")->SetText("Тема письма");
  }
  void Send() { QTest::mouseClick(fixture_->Find<QToolButton>("SpeedButton1"), Qt::LeftButton); }
  // True when the send started by the last press has ended.
  bool WaitForSendEnd() {
    quillet::TSendRunner& runner = fixture_->Window().SendRunner();
    return QTest::qWaitFor([&runner] { return !runner.Busy(); }, kSendLimitMs) &&
           !runner.Progress().isVisible();
  }
  QStringList ErrorTexts() {
    QStringList texts;
    for (const auto& box : fixture_->Dialogs().errors) texts << box.text;
    return texts;
  }

 private slots:
  void init() { fixture_ = std::make_unique<WindowFixture>(); }
  void cleanup() { fixture_.reset(); }

  void sendsTheEditorsDisplayedLinesToARealServer() {
    quillet::ScopedSystemLocale russian("ru_RU.UTF-8");
    AiosmtpdServer server;
    fixture_->Window();
    FillBoxes(server.Port());
    fixture_->Find<QTextEdit>("RE1")->setPlainText(kParagraph + "\n.dotted\n");

    Send();
    QVERIFY(WaitForSendEnd());
    Send();  // a second press sends a second letter over a new connection
    QVERIFY(WaitForSendEnd());
    QCOMPARE(ErrorTexts(), QStringList());

    const auto letters = server.Letters(2);
    QCOMPARE(letters.size(), std::size_t(2));
    const auto& letter = letters.front();
    QCOMPARE(letter.mailFrom, std::string("from@example.org"));
    QCOMPARE(letter.recipients, quillet::StringList{"to@example.org"});
    QCOMPARE(letter.login, std::string("quillet"));
    QCOMPARE(letter.Header("Subject"), std::string("Тема письма"));

    const std::size_t bodyStart = letter.data.find("\r\n\r\n");
    QVERIFY(bodyStart != std::string::npos);
    const quillet::StringList body = quillet::SplitLines(letter.data.substr(bodyStart + 4));
    // The paragraph arrives as the editor's wrapped lines, the empty last line is dropped.
    QVERIFY2(body.size() >= 4, letter.data.c_str());
    QCOMPARE(body.back(), std::string(".dotted"));
    std::string paragraph;
    for (std::size_t i = 0; i + 1 < body.size(); ++i) {
      QVERIFY(body[i].size() < static_cast<std::size_t>(kParagraph.size()));
      paragraph += body[i];
    }
    QCOMPARE(QString::fromStdString(paragraph), kParagraph);

    const QString trace = fixture_->Window().SendRunner().Progress()
                              .findChild<QPlainTextEdit*>("TraceView")->toPlainText();
    QVERIFY2(trace.contains("> MAIL FROM:<from@example.org>"), qPrintable(trace));
  }

  void wrongPasswordShowsTheServersReply() {
    AiosmtpdServer server;
    fixture_->Window();
    FillBoxes(server.Port(), "wrong");
    Send();
    QVERIFY(WaitForSendEnd());
    QCOMPARE(fixture_->Dialogs().errors.size(), std::size_t(1));
    QCOMPARE(fixture_->Dialogs().errors.front().caption, QStringLiteral("Quillet 1.0"));
    QVERIFY(server.Letters(0, std::chrono::milliseconds(0)).empty());
  }

  void refusedConnectionShowsTheSocketError() {
    fixture_->Window();
    FillBoxes(quillet::testing::UnusedLoopbackPort());
    Send();
    QVERIFY(WaitForSendEnd());
    const QStringList errors = ErrorTexts();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.front().startsWith("Socket Error # "), qPrintable(errors.front()));
    QVERIFY2(errors.front().endsWith("\r\nConnection refused."), qPrintable(errors.front()));
  }

  void portThatIsNoNumberIsRefusedBeforeConnecting() {
    fixture_->Window();
    FillBoxes(25);
    fixture_->Find<QLineEdit>("Edit6")->setText("abc");
    Send();
    QVERIFY(WaitForSendEnd());
    QCOMPARE(ErrorTexts(), QStringList{"'abc' is not a valid integer value."});
  }

  void cancelEndsASilentConversationWithoutAnError() {
    ScriptedServer server("SILENT 20000\n", std::chrono::seconds(25));
    fixture_->Window();
    FillBoxes(server.Port());
    Send();
    quillet::TSendProgress& progress = fixture_->Window().SendRunner().Progress();
    auto* status = progress.findChild<QLabel*>("StatusLabel");
    // The window goes on drawing while the server says nothing.
    QTRY_VERIFY(progress.isVisible());
    QTRY_COMPARE(status->text(), QStringLiteral("Connected."));
    QVERIFY(fixture_->Window().SendRunner().Busy());

    QTest::mouseClick(progress.findChild<QPushButton*>("CancelButton"), Qt::LeftButton);
    // Far sooner than the server's silence or the read limit would end it.
    QTRY_VERIFY_WITH_TIMEOUT(!fixture_->Window().SendRunner().Busy(), 10000);
    QVERIFY(!progress.isVisible());
    QCOMPARE(ErrorTexts(), QStringList());
    QCOMPARE(server.Finish(), std::string());
  }
};

QTEST_MAIN(SendTest)
#include "SendTest.moc"
