#include "TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <system_error>

#include "app/AppStyle.h"
#include "app/frmMain.h"
#include "common/ComData.h"
#include "common/Cp932.h"
#include "common/qt/QtEvents.h"
#include "common/qt/QtText.h"

namespace vtest {

namespace fs = std::filesystem;

// ---- ScriptedDialogs ---------------------------------------------------------------------------

QStringList ScriptedDialogs::messageTexts() const {
    QStringList out;
    for (const ShownMessage& m : messages)
        out << m.text;
    return out;
}

bool ScriptedDialogs::allAnswersUsed() const {
    return m_messageAnswers.empty() && m_openAnswers.empty() && m_saveAnswers.empty() &&
           m_fontAnswers.empty();
}

void ScriptedDialogs::checkAllUsed() {
    // A dialog that came without an answer has failed the test already, when it came.
    if (QTest::currentTestFunction() && !QTest::currentTestFailed() && !allAnswersUsed())
        QTest::qFail("a scripted answer was never asked for", __FILE__, __LINE__);
    clear();
}

void ScriptedDialogs::clear() {
    messages.clear();
    openRequests.clear();
    saveRequests.clear();
    fontRequests.clear();
    unexpected.clear();
    m_messageAnswers.clear();
    m_openAnswers.clear();
    m_saveAnswers.clear();
    m_fontAnswers.clear();
    m_messageDefault.reset();
}

void ScriptedDialogs::fail(const QString& what) {
    unexpected << what;
    const QByteArray text = ("unexpected dialog: " + what).toUtf8();
    QTest::qFail(text.constData(), __FILE__, __LINE__);
}

vellaro::MsgButton ScriptedDialogs::message(QWidget*, vellaro::MsgKind kind, const QString& text,
                                            int buttons) {
    messages.push_back({kind, text, buttons});
    if (!m_messageAnswers.empty()) {
        const vellaro::MsgButton b = m_messageAnswers.front();
        m_messageAnswers.pop_front();
        return b;
    }
    if (m_messageDefault)
        return *m_messageDefault;
    fail("message box \"" + text + "\"");
    return (buttons & vellaro::MbCancel) ? vellaro::MbCancel
           : (buttons & vellaro::MbNo)   ? vellaro::MbNo
           : (buttons & vellaro::MbOk)   ? vellaro::MbOk
                                         : vellaro::MbYes;
}

QString ScriptedDialogs::fileAnswer(std::deque<QString>& answers, const char* dialog,
                                    const vellaro::FileDialogRequest& request) {
    if (answers.empty()) {
        fail(QLatin1String(dialog) + " \"" + request.caption + "\"");
        return {};
    }
    const QString answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedDialogs::openFile(QWidget*, const vellaro::FileDialogRequest& request) {
    openRequests.push_back(request);
    return fileAnswer(m_openAnswers, "open-file dialog", request);
}

QString ScriptedDialogs::saveFile(QWidget*, const vellaro::FileDialogRequest& request) {
    saveRequests.push_back(request);
    return fileAnswer(m_saveAnswers, "save-file dialog", request);
}

std::optional<QFont> ScriptedDialogs::chooseFont(QWidget*, const QFont& initial) {
    fontRequests.push_back(initial);
    if (m_fontAnswers.empty()) {
        fail("font dialog");
        return std::nullopt;
    }
    const std::optional<QFont> a = m_fontAnswers.front();
    m_fontAnswers.pop_front();
    return a;
}

// ---- TestFolders -------------------------------------------------------------------------------

TestFolders::TestFolders() : TestFolders(Options{}) {}

TestFolders::TestFolders(const Options& options) {
    m_saved = vellaro::CurrentFolderSource();
    std::error_code ec;
    m_savedCwd = fs::current_path(ec);
    const fs::path r = root();
    m_source.system = r / "system";
    m_source.exe = r / "exe";
    m_source.tempBase = r / "temp";
    m_source.tempWish = r / "temp" / "vellaro";
    m_source.work = r / "documents" / "Vellaro" / "java source";
    m_source.earlierSystem = r / "earlier" / "system";
    m_source.earlierWork = r / "earlier" / "work";
    if (options.makeSystem)
        fs::create_directories(m_source.system, ec);
    if (options.makeExe)
        fs::create_directories(m_source.exe, ec);
    fs::create_directories(m_source.tempBase, ec);
    if (options.copyLessonText && options.makeExe) {
        const fs::path lesson = fs::path(VELLARO_BUILD_DIR) / "Java.txt";
        if (fs::exists(lesson, ec))
            fs::copy_file(lesson, m_source.exe / "Java.txt", ec);
    }
    install();
    vellaro::ResetSharedTexts();
    vellaro::SetDialogs(&dialogs);
    vellaro::InstallQtEventSeam();
    vellaro::ForgetTerminateRequest();
}

TestFolders::~TestFolders() {
    dialogs.checkAllUsed();
    vellaro::ForgetTerminateRequest();
    vellaro::SetDialogs(nullptr);
    vellaro::SetFolderSource(m_saved);
    std::error_code ec;
    if (!m_savedCwd.empty())
        fs::current_path(m_savedCwd, ec);
}

void TestFolders::setSystem(const fs::path& p) {
    m_source.system = p;
    install();
}

void TestFolders::setExe(const fs::path& p) {
    m_source.exe = p;
    install();
}

void TestFolders::setWork(const fs::path& p) {
    m_source.work = p;
    install();
}

void TestFolders::install() {
    vellaro::SetFolderSource(m_source);
}

// ---- program -----------------------------------------------------------------------------------

AppWindows StartProgram() {
    vellaro::InstallFaceSubstitutions(); // as main() does
    if (!dynamic_cast<QProxyStyle*>(QApplication::style()))
        vellaro::InstallAppStyle();
    AppWindows w = CreateAppWindows();
    if (w.dialogs) {
        w.main->show();
        // Let the window reach its final geometry before the test looks at it.
        QApplication::processEvents();
    }
    return w;
}

AppWindows StartPastGuidance(bool active) {
    AppWindows w = StartProgram();
    if (!w.dialogs)
        return w;
    const MainControls ui(*w.main);
    if (ui.Panel8->isVisible()) {
        QTest::mouseClick(ui.SpeedButton1, Qt::LeftButton);
        if (ui.Panel8->isVisible())
            QTest::qFail("the guidance panel stayed after \"表示しない\"", __FILE__, __LINE__);
    }
    if (active && !Activated(w.main.get()))
        QTest::qFail("the main window did not become active", __FILE__, __LINE__);
    return w;
}

bool ProgramFixture::startProgram(const QStringList& settings) {
    m_folders = std::make_unique<TestFolders>();
    if (!settings.isEmpty())
        WriteIni(m_folders->settingsFile(), QStringList{"[Bas]"} + settings);
    m_app = StartPastGuidance();
    return m_app.dialogs != nullptr;
}

const MainControls& ProgramFixture::ui() const {
    if (!m_ui || &m_ui->root != m_app.main.get())
        m_ui = std::make_unique<MainControls>(*m_app.main);
    return *m_ui;
}

void ProgramFixture::stopProgram() {
    m_ui.reset();
    m_app = AppWindows();
    m_folders.reset();
}

MainControls::MainControls(const QObject& window) : root(window) {
#define VTEST_FIND_CONTROL(Type, name) name = Find<Type>(root, #name);
    VTEST_MAIN_CONTROLS(VTEST_FIND_CONTROL)
#undef VTEST_FIND_CONTROL
}

void Tick(QTimer* timer) {
    // timeout() is a private signal: emitted through the meta-object as the timer would.
    if (!QMetaObject::invokeMethod(timer, "timeout"))
        QTest::qFail("the timer's timeout could not be raised", __FILE__, __LINE__);
}

bool Activated(QWidget* window) {
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

void KindRows(std::initializer_list<std::pair<const char*, const char*>> rows) {
    QTest::addColumn<QString>("kind");
    for (const auto& [name, kind] : rows)
        QTest::newRow(name) << QString::fromUtf8(kind);
}

QStringList ReadIniLines(const fs::path& file) {
    QStringList lines =
        vellaro::FromSjis(vellaro::Cp932Text(ReadFile(file))).split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

void WriteIni(const fs::path& file, const QStringList& lines) {
    std::string bytes;
    for (const QString& line : lines)
        bytes += vellaro::Sjis(vellaro::ToUtf8(line)).bytes() + "\r\n";
    WriteFile(file, bytes);
}

void ClickTab(QTabWidget* pages, int index) {
    QTabBar* bar = pages->tabBar();
    const QRect r = bar->tabRect(index);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, r.center());
}

} // namespace vtest
