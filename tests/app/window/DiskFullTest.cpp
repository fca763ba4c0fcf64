// Closing the window when its files cannot be written: the disk under the
// list files or under the settings file is full. The close is abandoned with
// the error shown, the files of the previous run stay whole, and a close after
// room was made saves everything.

#include <QLineEdit>
#include <QTest>

#include "WindowTestSupport.h"
#include "app/window/SortedComboBox.h"
#include "support/SmallFileSystem.h"

using quillet::TSortedComboBox;
using quillet::testing::SmallFileSystem;
using quillet::testing::WindowFixture;

class DiskFullTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WindowFixture> fixture_;

  // The first close fails with one error box and leaves the window open.
  void ExpectCloseRefused(const QString& shownStart) {
    quillet::TMainForm& window = fixture_->Window();
    window.close();
    QVERIFY(window.isVisible());
    QCOMPARE(fixture_->Dialogs().errors.size(), std::size_t(1));
    const auto& box = fixture_->Dialogs().errors.front();
    QCOMPARE(box.caption, QStringLiteral("Quillet 1.0"));
    QVERIFY2(box.text.startsWith(shownStart), qPrintable(box.text));
  }

 private slots:
  void init() { fixture_ = std::make_unique<WindowFixture>(); }
  void cleanup() { fixture_.reset(); }

  void fullDiskUnderTheListFiles() {
    const QString lists = fixture_->WorkPath(QStringLiteral("lists"));
    QVERIFY(QDir().mkpath(lists));
    SmallFileSystem disk(lists.toStdString());
    if (!disk.Available()) QSKIP(qPrintable("no small file system here: " + QString::fromStdString(disk.Reason())));
    QVERIFY(QDir::setCurrent(lists));
    const std::string previous = "\xCF\xE8\xF1\xFC\xEC\xE5\xF6\xEE\r\nkept\r\n";
    fixture_->WriteFile(lists + "/Theme1.txt", previous);
    disk.Fill();

    fixture_->Find<TSortedComboBox>("Combo")->AddItem(QStringLiteral("added"));
    ExpectCloseRefused("Cannot create file \"" + lists + "/Theme1.txt\". No space left on device");
    QCOMPARE(fixture_->ReadFile(lists + "/Theme1.txt"), previous);
    QCOMPARE(QDir(lists).entryList(QDir::Files | QDir::Hidden).size(), 2);  // and the filler
    QCOMPARE(fixture_->ReadFile(fixture_->ProgramPath("Quillet.ini")), std::string("<missing>"));

    disk.Free();
    fixture_->Window().close();
    QVERIFY(!fixture_->Window().isVisible());
    const std::string saved = fixture_->ReadFile(lists + "/Theme1.txt");
    QVERIFY2(saved.find("added\r\n") != std::string::npos &&
                 saved.find("kept\r\n") != std::string::npos && saved.size() == previous.size() + 7,
             saved.c_str());
    QVERIFY(fixture_->ReadFile(fixture_->ProgramPath("Quillet.ini")) != "<missing>");
    QDir::setCurrent(fixture_->WorkPath(QString()));
  }

  void fullDiskUnderTheSettingsFile() {
    const QString program = fixture_->ProgramPath(QString());
    SmallFileSystem disk(program.toStdString());
    if (!disk.Available()) QSKIP(qPrintable("no small file system here: " + QString::fromStdString(disk.Reason())));
    const std::string previous = "[SERVER]\r\nName=old.example\r\n\r\n[NOCH]\r\nPar=old\r\n";
    fixture_->WriteFile(fixture_->ProgramPath("Quillet.ini"), previous);
    disk.Fill();

    fixture_->Find<QLineEdit>("Edit3")->setText(QStringLiteral("new.example"));
    ExpectCloseRefused("Unable to write to " + fixture_->ProgramPath("Quillet.ini"));
    QCOMPARE(fixture_->ReadFile(fixture_->ProgramPath("Quillet.ini")), previous);
    // The lists, written before the settings, are there.
    QCOMPARE(fixture_->ReadFile(fixture_->WorkPath("To.txt")), std::string());

    disk.Free();
    fixture_->Window().close();
    QVERIFY(!fixture_->Window().isVisible());
    const std::string settings = fixture_->ReadFile(fixture_->ProgramPath("Quillet.ini"));
    QVERIFY2(settings.find("Name=new.example\r\n") != std::string::npos, settings.c_str());
  }
};

QTEST_MAIN(DiskFullTest)
#include "DiskFullTest.moc"
