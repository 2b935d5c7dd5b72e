// Bad input from outside, through the real window: damaged or odd settings files, a work folder
// that is a file, lesson texts with odd line ends, NUL bytes and huge lines, and exercise files
// that are binary, huge or not CP932. Each gives a clear message or is taken in its stride, and
// nothing the learner made is lost.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "TestSupport.h"
#include "app/AppWindows.h"
#include "app/frmMain.h"
#include "common/Cp932.h"
#include "common/qt/QtEvents.h"
#include "common/qt/QtText.h"
#include "settings/IniFile.h"
#include "trainer/LessonText.h"

namespace fs = std::filesystem;
using vellaro::MsgKind;

namespace {

using vtest::ReadFile;
using vtest::WriteFile;

std::string RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xFF);
    return s;
}

QString CannotWrite(const fs::path& ini) {
    return vellaro::FromPath(fs::absolute(ini)) + QStringLiteral(" に書き込めません");
}

const QString kCannotRead = QStringLiteral("Javaプログラムソースの読込みができません");

} // namespace

class TstBadInput : public QObject {
    Q_OBJECT
  private slots:
    void settingsFileThatIsAFolderCannotBeWrittenButTheProgramGoesOn();
    void emptyBinaryOrHugeSettingsFileStartsWithTheDefaults_data();
    void emptyBinaryOrHugeSettingsFileStartsWithTheDefaults();
    void workFolderThatIsAFileIsReplacedByTheDefault();
    void lessonWithOddLineEndsNulBytesAndHugeLines_data();
    void lessonWithOddLineEndsNulBytesAndHugeLines();
    void badExerciseFilesAreRefusedAndTheEditorKept_data();
    void badExerciseFilesAreRefusedAndTheEditorKept();
};

void TstBadInput::settingsFileThatIsAFolderCannotBeWrittenButTheProgramGoesOn() {
    vtest::TestFolders folders;
    fs::create_directory(folders.settingsFile());
    fs::path inside = folders.settingsFile() / "learner-notes.txt";
    WriteFile(inside, "mine");
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt* w = app.main.get();
    QVERIFY(w && w->isVisible());
    const vtest::MainControls ui(*w);
    QCOMPARE(w->EnvSettings().YokoSize, 595); // the defaults, not a file that is not one

    folders.dialogs.answerAllMessages(vellaro::MbOk);
    vtest::ClickTab(ui.PageControl1, 1);
    QCOMPARE(folders.dialogs.messages.size(), 1);
    QCOMPARE(folders.dialogs.messages[0].kind, MsgKind::Error);
    QCOMPARE(folders.dialogs.messages[0].text, CannotWrite(folders.settingsFile()));
    QCOMPARE(w->CurPage(), 1); // the switch went on

    w->close(); // the learner can always quit
    QVERIFY(!w->isVisible());
    QCOMPARE(folders.dialogs.messages.size(), 2);
    QVERIFY(fs::is_directory(folders.settingsFile()));
    QCOMPARE(ReadFile(inside), std::string("mine"));
}

void TstBadInput::emptyBinaryOrHugeSettingsFileStartsWithTheDefaults_data() {
    vtest::KindRows({{"empty", "empty"}, {"binary", "binary"}, {"10 MB", "huge"}});
}

void TstBadInput::emptyBinaryOrHugeSettingsFileStartsWithTheDefaults() {
    QFETCH(QString, kind);
    vtest::TestFolders folders;
    std::string bytes;
    if (kind == "binary")
        bytes = RandomBytes(4096, 7);
    else if (kind == "huge")
        bytes = std::string(10u << 20, 'x');
    WriteFile(folders.settingsFile(), bytes);

    AppWindows app = vtest::StartPastGuidance();
    TMainCrt* w = app.main.get();
    QVERIFY(w && w->isVisible());
    const vtest::MainControls ui(*w);
    QVERIFY(folders.dialogs.messages.isEmpty());
    QCOMPARE(w->EnvSettings().YokoSize, 595);
    QCOMPARE(w->EnvSettings().TateSize, 520);
    QCOMPARE(w->EnvSettings().FontSize, 10);
    QCOMPARE(ui.PageControl1->indexOf(ui.TabSheet3), 2); // the speed page is shown

    folders.dialogs.answerAllMessages(vellaro::MbOk);
    vtest::ClickTab(ui.PageControl1, 1);
    const vellaro::IniFile ini(folders.settingsFile());
    if (kind == "huge") {
        // Too large to be a settings file: it is left as it is, and the learner is told.
        QCOMPARE(folders.dialogs.messageTexts(), QStringList(CannotWrite(folders.settingsFile())));
        QCOMPARE(fs::file_size(folders.settingsFile()), std::uintmax_t(10u << 20));
    } else {
        QVERIFY(folders.dialogs.messages.isEmpty());
        QCOMPARE(ini.ReadInteger("Bas", "Level", 0), 1);
        // Whatever stood in the file before is kept beside the new section.
        QCOMPARE(ReadFile(folders.settingsFile()).compare(0, bytes.size(), bytes), 0);
    }
}

void TstBadInput::workFolderThatIsAFileIsReplacedByTheDefault() {
    vtest::TestFolders folders;
    const fs::path notAFolder = folders.root() / "work.txt";
    WriteFile(notAFolder, "the learner's file");
    vellaro::IniFile ini(folders.settingsFile());
    ini.WriteString("Bas", "PathSrc", *vellaro::ToSjis(vellaro::FromPath(notAFolder)));

    AppWindows app = vtest::StartProgram();
    TMainCrt* w = app.main.get();
    QVERIFY(w && w->isVisible());
    const vtest::MainControls ui(*w);
    QVERIFY(folders.dialogs.messages.isEmpty());
    QCOMPARE(ui.sDisp_SrcPath->text(), vellaro::FromPath(folders.defaultWorkFolder()));
    QVERIFY(fs::is_directory(folders.defaultWorkFolder()));
    QCOMPARE(ReadFile(notAFolder), std::string("the learner's file"));
}

void TstBadInput::lessonWithOddLineEndsNulBytesAndHugeLines_data() {
    vtest::KindRows({{"CR line ends", "cr"},
                     {"raw NUL bytes", "nul"},
                     {"1 MB lines", "huge"},
                     {"enciphered NUL", "damaged"}});
}

void TstBadInput::lessonWithOddLineEndsNulBytesAndHugeLines() {
    QFETCH(QString, kind);
    vtest::TestFolders::Options options;
    options.copyLessonText = false;
    vtest::TestFolders folders(options);
    vellaro::Cp932Lines lines = {vellaro::Sjis("変数とは"), vellaro::Cp932Text(),
                                 vellaro::Sjis("\t型")};
    if (kind == "huge")
        lines.emplace_back(std::string(1u << 20, 'A'));
    if (kind == "damaged")
        lines.emplace_back(std::string("ok\0bad", 6));
    std::string stored = vellaro::EncodeLessonText(lines);
    if (kind == "cr") {
        std::string cr;
        for (char c : stored)
            if (c != '\n')
                cr += c;
        stored = cr;
    }
    if (kind == "nul") {
        // NUL bytes are not characters of the cipher's alphabet: they stand for the digit 0, and
        // on the first line the pair 00 decodes to the byte 0 that marks a damaged file.
        stored.insert(0, std::string("\0\0\0\0\r\n", 6));
    }
    WriteFile(folders.exe() / "Java.txt", stored);

    folders.dialogs.answerAllMessages(vellaro::MbYes);
    AppWindows app = vtest::StartProgram();
    TMainCrt* w = app.main.get();
    QVERIFY(w);
    const vtest::MainControls ui(*w);
    if (kind == "damaged" || kind == "nul") {
        QCOMPARE(folders.dialogs.messages.size(), 1);
        QCOMPARE(folders.dialogs.messages[0].text,
                 QStringLiteral("テキストファイルが壊れています、プログラムを終了します。"));
        QVERIFY(vellaro::TerminateRequested());
        return;
    }
    QVERIFY(folders.dialogs.messages.isEmpty());
    QVERIFY(!vellaro::TerminateRequested());
    QTRY_VERIFY(!ui.SreadText->toPlainText().isEmpty());
    const QStringList shown = ui.SreadText->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), int(lines.size()));
    QCOMPARE(shown[0], QStringLiteral("変数とは"));
    QCOMPARE(shown[2], QStringLiteral("\t型"));
}

void TstBadInput::badExerciseFilesAreRefusedAndTheEditorKept_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("binary") << "binary" << QStringLiteral("テキストのファイルではありません");
    QTest::newRow("100 MB") << "huge" << QStringLiteral("ファイルが大きすぎます");
    QTest::newRow("lone lead byte") << "lead" << QStringLiteral("Shift-JIS の文字として読めない");
}

void TstBadInput::badExerciseFilesAreRefusedAndTheEditorKept() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    vtest::TestFolders folders;
    AppWindows app = vtest::StartPastGuidance();
    TMainCrt* w = app.main.get();
    QVERIFY(w && w->isVisible());
    const vtest::MainControls ui(*w);
    ui.SrcClassName->setText(QStringLiteral("Mine"));
    ui.SecEdit->setPlainText(QStringLiteral("int a = 1;\n?(\"まだ保存していない\");"));

    const fs::path file = folders.root() / "bad.sja";
    if (kind == "binary") {
        WriteFile(file, RandomBytes(2048, 3) + std::string(1, '\0'));
    } else if (kind == "huge") {
        WriteFile(file, "");
        fs::resize_file(file, std::uintmax_t(100) << 20);
    } else {
        WriteFile(file, "int a;\r\n?(a);\x81");
    }
    folders.dialogs.answerMessage(vellaro::MbNo); // the unsaved text is not saved first
    folders.dialogs.answerOpenFile(vellaro::FromPath(file));
    folders.dialogs.answerMessage(vellaro::MbOk);
    ui.ToolButton2->trigger();

    QCOMPARE(folders.dialogs.messages.size(), 2);
    QVERIFY(folders.dialogs.messages[1].text.startsWith(kCannotRead));
    QVERIFY2(folders.dialogs.messages[1].text.contains(reason),
             qPrintable(folders.dialogs.messages[1].text));
    QCOMPARE(ui.SrcClassName->text(), QStringLiteral("Mine"));
    QCOMPARE(ui.SecEdit->toPlainText(), QStringLiteral("int a = 1;\n?(\"まだ保存していない\");"));
}

QTEST_MAIN(TstBadInput)
#include "tst_badinput.moc"
