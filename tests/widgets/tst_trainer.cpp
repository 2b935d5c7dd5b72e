// The speed-reading trainer in the real main window, offscreen: the reading lesson on the shipped
// Java.txt, the lesson text's failures, the visual field exercise read back pixel by pixel, and
// the speed page's rules. Ticks are driven by calling the timer handlers; the window timers are
// stopped first so that nothing ticks behind the test's back.
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "TestSupport.h"
#include "app/frmMain.h"
#include "common/qt/QtEvents.h"
#include "trainer/DiscGeometry.h"
#include "trainer/LessonSource.h"
#include "trainer/qt/DiscSurface.h"
#include "trainer/qt/SpeedTextPanel.h"

namespace fs = std::filesystem;

namespace {

const QString kEndText = QStringLiteral("テキストが終わりました次の準備をして下さい。");
const QString kMissingText = QStringLiteral("速読テキストが有りません、処理を中止します");
const QString kDamagedText =
    QStringLiteral("テキストファイルが壊れています、プログラムを終了します。");

// The lesson as written in the repository (UTF-8), independent of the decoder.
QStringList LessonSource() {
    QFile f(
        QDir::cleanPath(QStringLiteral(VELLARO_TEST_DATA "/../../resources/lesson/lesson.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = f.readAll();
    QStringList lines;
    for (const std::string& line :
         vellaro::LessonLinesOf(std::string_view(text.constData(), std::size_t(text.size()))))
        lines << QString::fromStdString(line);
    return lines;
}

bool IsRed(QRgb c) {
    return qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 0;
}
bool IsBlack(QRgb c) {
    return qRed(c) == 0 && qGreen(c) == 0 && qBlue(c) == 0;
}
bool IsWhite(QRgb c) {
    return qRed(c) == 255 && qGreen(c) == 255 && qBlue(c) == 255;
}

// A disc drawn in its box [x, x2) x [y, y2): red inside, its black outline on the box's first and
// last row and column, and white just outside (where no other disc is).
QString CheckDisc(const QImage& img, const vellaro::DiscBox& d, const QString& name) {
    const int mx = (d.x + d.x2) / 2;
    const int my = (d.y + d.y2) / 2;
    auto at = [&](int x, int y) { return img.valid(x, y) ? img.pixel(x, y) : qRgb(255, 255, 255); };
    if (!IsRed(at(mx, my)))
        return name + QStringLiteral(": centre not red");
    if (!IsBlack(at(d.x, my)) || !IsBlack(at(d.x2 - 1, my)) || !IsBlack(at(mx, d.y)) ||
        !IsBlack(at(mx, d.y2 - 1)))
        return name + QStringLiteral(": outline not on the box edges");
    if (!IsWhite(at(d.x - 1, my)) || !IsWhite(at(d.x2, my)) || !IsWhite(at(mx, d.y - 1)) ||
        !IsWhite(at(mx, d.y2)))
        return name + QStringLiteral(": drawn outside its box");
    return {};
}

int CountRed(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += IsRed(img.pixel(x, y));
    return n;
}

// Columns of a widget grab that hold something other than the background colour.
std::pair<int, int> InkColumns(const QImage& img, const QRect& band, QRgb background) {
    int left = -1, right = -1;
    for (int x = band.left(); x <= band.right(); ++x)
        for (int y = band.top(); y <= band.bottom(); ++y)
            if (img.pixel(x, y) != background) {
                if (left < 0)
                    left = x;
                right = x;
                break;
            }
    return {left, right};
}

} // namespace

class TstTrainer : public QObject, private vtest::ProgramFixture {
    Q_OBJECT

  private:
    // Starts the program with the lesson text that `makeLesson` leaves in place of the shipped
    // one; start-up shows the one message box (answered "はい") and asks the program to end.
    void startWithLessonFailure(const std::function<void(const fs::path&)>& makeLesson,
                                vellaro::MsgKind kind, const QString& text) {
        vtest::TestFolders::Options options;
        options.copyLessonText = false;
        m_folders = std::make_unique<vtest::TestFolders>(options);
        makeLesson(m_folders->exe() / "Java.txt");
        dialogs().answerMessage(vellaro::MbYes);
        m_app = vtest::StartProgram();
        QVERIFY(m_app.main);
        QCOMPARE(dialogs().messages.size(), 1);
        QCOMPARE(dialogs().messages[0].kind, kind);
        QCOMPARE(dialogs().messages[0].text, text);
        QCOMPARE(dialogs().messages[0].buttons, int(vellaro::MbYes));
        QVERIFY(vellaro::TerminateRequested());
        QVERIFY(!m_app.dialogs); // main() shows no window
    }
    // Starts the program with its window active and the lesson running on the speed page.
    bool startActiveLesson() {
        if (!startProgram() || !vtest::Activated(&w()))
            return false;
        enterSpeedPage();
        ui().BitBtn1->click();
        return true;
    }
    // The lesson halted by itself: Start stays disabled until Stop.
    void expectStartOnlyAfterStop() {
        QVERIFY(!ui().BitBtn1->isEnabled());
        ui().BitBtn5->click();
        QVERIFY(ui().BitBtn1->isEnabled());
    }
    void enterSpeedPage() {
        vtest::ClickTab(ui().PageControl1, ui().PageControl1->indexOf(ui().TabSheet3));
        QCOMPARE(ui().PageControl1->currentWidget(), ui().TabSheet3);
    }
    void chooseSubPage(QWidget* sheet) {
        vtest::ClickTab(ui().PageControl2, ui().PageControl2->indexOf(sheet));
        QCOMPARE(ui().PageControl2->currentWidget(), sheet);
    }
    // The exercise's frame as the next tick draws it, for the surface as it is now.
    vellaro::DiscFrame expectedFrame(int step, int mode) const {
        return vellaro::ComputeDiscFrame(ui().BasImage->width(), ui().BasImage->height(), step,
                                         mode);
    }
    QString checkFrame(const vellaro::DiscFrame& f) const {
        const QImage& img = ui().BasImage->image();
        if (img.size() != QSize(f.width, f.height))
            return QStringLiteral("image size differs from the surface");
        for (std::size_t i = 0; i < f.count; ++i) {
            const QString problem = CheckDisc(img, f.discs[i], QString::number(int(i)));
            if (!problem.isEmpty())
                return problem;
        }
        return {};
    }

  private slots:
    void cleanup() { stopProgram(); }

    // ---- lesson text -------------------------------------------------------------------------

    void shippedLessonIsLoaded() {
        QVERIFY(startProgram());
        const QStringList source = LessonSource();
        QVERIFY(source.size() >= 300);
        // Filled once the window has been painted.
        QTRY_COMPARE(ui().SreadText->toPlainText().split(QLatin1Char('\n')), source);
        QCOMPARE(ui().ReadText_Buffer->document()->blockCount(), source.size());
        QVERIFY(dialogs().messages.isEmpty());
        QVERIFY(!vellaro::TerminateRequested());
    }

    void lessonMirrorWaitsForTheFirstPaint() {
        vtest::TestFolders folders;
        AppWindows app = CreateAppWindows();
        const vtest::MainControls ui(*app.main);
        QVERIFY(ui.SreadText->document()->isEmpty());
        QVERIFY(ui.ReadText_Buffer->document()->isEmpty());
        app.main->show();
        QTRY_COMPARE(ui.ReadText_Buffer->document()->blockCount(), LessonSource().size());
        QCOMPARE(ui.SreadText->toPlainText().split(QLatin1Char('\n')), LessonSource());
    }

    void unreadableLessonEndsTheProgram_data() {
        vtest::KindRows({{"missing", "missing"}, {"folder", "folder"}, {"huge", "huge"}});
    }
    void unreadableLessonEndsTheProgram() {
        QFETCH(QString, kind);
        startWithLessonFailure(
            [&](const fs::path& lesson) {
                if (kind == "folder") {
                    fs::create_directory(lesson);
                } else if (kind == "huge") {
                    vtest::WriteFile(lesson, "K");
                    fs::resize_file(lesson, std::uintmax_t(1) << 32); // sparse: 4 GiB of nothing
                }
            },
            vellaro::MsgKind::Error, kMissingText);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(ui().ReadText_Buffer->toPlainText().isEmpty());
        QCOMPARE(ui().SreadText->toPlainText(), QString());
    }

    void damagedLessonKeepsTheLinesBeforeAndEnds() {
        // Line 0 "AA"; line 1 (key 2): 0x03 ^ 1 ^ 2 = NUL; line 2 is never reached.
        startWithLessonFailure(
            [](const fs::path& lesson) { vtest::WriteFile(lesson, "BKBW\r\n7Q\r\nBK\r\n"); },
            vellaro::MsgKind::Information, kDamagedText);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(ui().SreadText->toPlainText(), QStringLiteral("AA"));
        QCOMPARE(ui().ReadText_Buffer->document()->blockCount(), 3);
    }

    // ---- reading lesson ----------------------------------------------------------------------

    void lessonShowsTheShippedText() {
        QVERIFY(startProgram());
        const QStringList source = LessonSource();
        enterSpeedPage();
        QCOMPARE(ui().Sppd_Text->text(), QString());
        // The defaults: first counter pair, position 1, level 1.
        QVERIFY(w().EnvSettings().SwSpeedText);
        QCOMPARE(w().EnvSettings().BasreadCount, 1);
        ui().BitBtn1->click();
        QVERIFY(ui().Read_Timer->isActive());
        QCOMPARE(ui().Read_Timer->interval(), 1550);
        QVERIFY(!ui().BitBtn1->isEnabled());
        QCOMPARE(ui().dispcount->text(), QStringLiteral("0"));
        QCOMPARE(ui().Sppd_Text->text(), QString()); // nothing before the first tick
        ui().Read_Timer->stop();

        // Every line in order; a line beginning with TAB twice, without its TAB.
        int tabLines = 0;
        for (int i = 0; i < 60; ++i) {
            const bool tab = source[i].startsWith(QLatin1Char('\t'));
            const QString shown = tab ? source[i].mid(1) : source[i];
            vtest::Tick(ui().Read_Timer);
            QCOMPARE(ui().Sppd_Text->text(), shown);
            if (tab) {
                ++tabLines;
                QCOMPARE(ui().dispcount->text(), QString::number(i));
                vtest::Tick(ui().Read_Timer);
                QCOMPARE(ui().Sppd_Text->text(), shown);
            }
            QCOMPARE(ui().dispcount->text(), QString::number(i + 1));
            QCOMPARE(w().EnvSettings().BasreadCount, i + 1);
            QCOMPARE(ui().spBasicCount->value(), i + 1);
        }
        QVERIFY(tabLines > 0);

        ui().BitBtn5->click();
        QVERIFY(ui().BitBtn1->isEnabled());
        QVERIFY(!ui().Read_Timer->isActive());
        QCOMPARE(ui().Sppd_Text->text(),
                 source[59].startsWith('\t') ? source[59].mid(1) : source[59]);
    }

    void lessonRunsOnItsOwnTimer() {
        QVERIFY(startProgram({"LevelTextBas=10"}));
        const QStringList source = LessonSource();
        enterSpeedPage();
        ui().BitBtn1->click();
        QCOMPARE(ui().Read_Timer->interval(), 200);
        QTRY_COMPARE(ui().dispcount->text(), QStringLiteral("1"));
        QCOMPARE(ui().Sppd_Text->text(), source[0]);
        QTRY_COMPARE(ui().dispcount->text(), QStringLiteral("2"));
        QCOMPARE(ui().Sppd_Text->text(), source[1]);
        ui().BitBtn5->click();
    }

    void handEditedLevelIsClamped_data() {
        QTest::addColumn<QString>("level");
        QTest::addColumn<int>("interval");
        // 12 and above would give an interval of 0 or less.
        QTest::newRow("15") << "15" << 200;
        QTest::newRow("-4") << "-4" << 1550;
    }
    void handEditedLevelIsClamped() {
        QFETCH(QString, level);
        QFETCH(int, interval);
        QVERIFY(startProgram({"LevelTextBas=" + level}));
        enterSpeedPage();
        ui().BitBtn1->click();
        QCOMPARE(ui().Read_Timer->interval(), interval);
        ui().BitBtn5->click();
    }

    void lessonEndsAtTheEndOfTheText() {
        const QStringList source = LessonSource();
        const int n = int(source.size());
        QVERIFY(startProgram({QStringLiteral("BasreadCount=%1").arg(n - 1)})); // start index n - 2
        enterSpeedPage();
        ui().BitBtn1->click();
        ui().Read_Timer->stop();
        vtest::Tick(ui().Read_Timer);
        vtest::Tick(ui().Read_Timer);
        QCOMPARE(ui().Sppd_Text->text(), source[n - 1]);
        QCOMPARE(ui().dispcount->text(), QString::number(n));
        vtest::Tick(ui().Read_Timer);
        QCOMPARE(ui().Sppd_Text->text(), kEndText);
        QCOMPARE(ui().dispcount->text(), QString::number(n));
        QCOMPARE(w().EnvSettings().BasreadCount, n - 1);
        QCOMPARE(ui().spBasicCount->value(), n - 1);
        QVERIFY(!ui().Read_Timer->isActive());
        QVERIFY(!ui().BitBtn1->isEnabled());

        // A page switch does not enable Start after the end; Stop does.
        vtest::ClickTab(ui().PageControl1, 0);
        enterSpeedPage();
        expectStartOnlyAfterStop();
    }

    void focusLeavingTheDisplayHaltsTheLesson() {
        QVERIFY(startActiveLesson());
        ui().Sppd_Text->setFocus();
        QTRY_VERIFY(ui().Sppd_Text->hasFocus());
        ui().BitBtn5->setFocus();
        QTRY_VERIFY(!ui().Read_Timer->isActive());
        expectStartOnlyAfterStop();
    }

    void clickOnTheDisplayDoesNotHaltTheLessonLater() {
        QVERIFY(startActiveLesson());
        QTest::mouseClick(ui().Sppd_Text, Qt::LeftButton);
        QVERIFY(!ui().Sppd_Text->hasFocus());
        chooseSubPage(ui().TabSheet5);
        QVERIFY(ui().Read_Timer->isActive());
        QVERIFY(!ui().BitBtn1->isEnabled());

        // Reached by the Tab key, the display going out of view with its sub-page is no focus
        // move of the learner either.
        chooseSubPage(ui().TabSheet6);
        QVERIFY(ui().Sppd_Text->focusPolicy() & Qt::TabFocus);
        ui().BitBtn1->click();
        ui().Sppd_Text->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(ui().Sppd_Text->hasFocus());
        chooseSubPage(ui().TabSheet5);
        QVERIFY(ui().Read_Timer->isActive());
    }

    void displayCentresTheLineAndCutsBothEnds() {
        QVERIFY(startProgram());
        enterSpeedPage();
        vellaro::SpeedTextPanel* panel = ui().Sppd_Text;
        const QRgb background = qRgb(236, 233, 216);
        const QRect band = panel->textBand();
        QVERIFY(panel->contentsRect().contains(band));
        QCOMPARE(band.center().y(), panel->contentsRect().center().y());

        panel->setText(QStringLiteral("変数は名札の付いた箱"));
        QImage img = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(img.pixel(panel->contentsRect().left() + 2, panel->contentsRect().top() + 2),
                 background);
        auto [left, right] = InkColumns(img, band, background);
        QVERIFY(left > band.left());
        QVERIFY(qAbs((left + right) / 2 - band.center().x()) <= 3);
        // Nothing is drawn above or below the band.
        const QRect above(band.left(), panel->contentsRect().top(), band.width(),
                          band.top() - panel->contentsRect().top());
        QCOMPARE(InkColumns(img, above, background).first, -1);

        // A TAB reaches the next tab stop rather than vanishing.
        auto inkWidth = [&](const QString& text) {
            panel->setText(text);
            const QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
            const auto [l, r] = InkColumns(shot, band, background);
            return r - l;
        };
        QVERIFY(inkWidth(QStringLiteral("Ａ\tＢ")) >
                inkWidth(QStringLiteral("ＡＢ")) + panel->tabStopDistance() / 2);

        QString wide;
        while (panel->fontMetrics().horizontalAdvance(wide) < 3 * panel->width())
            wide += QStringLiteral("長い行");
        panel->setText(wide);
        img = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        std::tie(left, right) = InkColumns(img, band, background);
        QVERIFY(left <= band.left() + 3);
        QVERIFY(right >= band.right() - 3);
        panel->setText(QString());
    }

    // ---- visual field expansion --------------------------------------------------------------

    void sweepDrawsStepsZeroToTenThenTheCentre() {
        QVERIFY(startProgram());
        enterSpeedPage();
        chooseSubPage(ui().TabSheet5);
        // Big enough for the discs of step 1 to stand apart from each other and from the centre.
        QVERIFY(ui().BasImage->width() > 240 && ui().BasImage->height() > 240);
        QVERIFY(ui().BasImage->width() >= 440 || ui().BasImage->height() >= 440);
        ui().BitBtn9->click();
        QVERIFY(ui().Paint_Timer->isActive());
        QVERIFY(!ui().BitBtn9->isEnabled());
        ui().Paint_Timer->stop();

        const int W = ui().BasImage->width();
        const int H = ui().BasImage->height();
        int oneDisc = 0;
        for (int tick = 1; tick <= 12; ++tick) {
            const int step = (tick - 1) % 11;
            vtest::Tick(ui().Paint_Timer);
            const QString problem = checkFrame(expectedFrame(step, 0));
            QVERIFY2(problem.isEmpty(),
                     qPrintable(QStringLiteral("tick %1: %2").arg(tick).arg(problem)));
            const QImage& img = ui().BasImage->image();
            const QRgb centre = img.pixel(W / 2, H / 2);
            if (step == 0) {
                QVERIFY(IsRed(centre)); // all four discs share the centre box
                oneDisc = CountRed(img);
                QVERIFY(oneDisc > 200);
            } else {
                QVERIFY(IsWhite(centre));
                QCOMPARE(CountRed(img), 4 * oneDisc);
            }
            if (step == 10) {
                // The discs' boxes lie 10 pixels inside the edges.
                QVERIFY(IsBlack(img.pixel(W - 30, H / 2)) && IsWhite(img.pixel(W - 31, H / 2)));
                QVERIFY(IsBlack(img.pixel(10, H / 2)) && IsWhite(img.pixel(9, H / 2)));
                QVERIFY(IsBlack(img.pixel(W / 2, H - 30 + 19)) &&
                        IsWhite(img.pixel(W / 2, H - 10)));
                QVERIFY(IsBlack(img.pixel(W / 2, 10)) && IsWhite(img.pixel(W / 2, 9)));
            }
        }

        // Stop keeps the last frame; Start begins at the centre again.
        vtest::Tick(ui().Paint_Timer); // step 1
        ui().BitBtn10->click();
        QVERIFY(!ui().Paint_Timer->isActive());
        QVERIFY(ui().BitBtn9->isEnabled());
        QVERIFY(checkFrame(expectedFrame(1, 0)).isEmpty());
        QVERIFY(IsWhite(ui().BasImage->image().pixel(W / 2, H / 2)));
        ui().BitBtn9->click();
        ui().Paint_Timer->stop();
        vtest::Tick(ui().Paint_Timer);
        QVERIFY(IsRed(ui().BasImage->image().pixel(W / 2, H / 2)));
    }

    void directionButtonsRestartTheSweep() {
        QVERIFY(startProgram());
        enterSpeedPage();
        chooseSubPage(ui().TabSheet5);
        ui().BitBtn9->click();
        ui().Paint_Timer->stop();
        for (int i = 0; i < 4; ++i)
            vtest::Tick(ui().Paint_Timer);
        QCOMPARE(ui().ToolButton17->toolTip(), QStringLiteral("縦視野拡大"));

        const struct {
            QAction* button;
            int mode;
        } buttons[] = {{ui().ToolButton17, vellaro::kPaintVertical},
                       {ui().ToolButton19, vellaro::kPaintHorizontal},
                       {ui().ToolButton10, vellaro::kPaintAllDirections}};
        for (const auto& b : buttons) {
            b.button->trigger();
            QVERIFY(!ui().Paint_Timer->isActive()); // neither starts nor stops the timer
            vtest::Tick(ui().Paint_Timer);
            QVERIFY(IsRed(ui().BasImage->image().pixel(ui().BasImage->width() / 2,
                                                       ui().BasImage->height() / 2)));
            vtest::Tick(ui().Paint_Timer);
            const vellaro::DiscFrame f = expectedFrame(1, b.mode);
            QVERIFY2(checkFrame(f).isEmpty(), qPrintable(checkFrame(f)));
            // The directions the mode leaves out stay white.
            const vellaro::DiscFrame all = expectedFrame(1, vellaro::kPaintAllDirections);
            for (std::size_t i = 0; i < all.count; ++i) {
                const bool drawn = std::find(f.sides.begin(), f.sides.begin() + f.count,
                                             all.sides[i]) != f.sides.begin() + f.count;
                const vellaro::DiscBox& d = all.discs[i];
                QCOMPARE(IsRed(ui().BasImage->image().pixel((d.x + d.x2) / 2, (d.y + d.y2) / 2)),
                         drawn);
            }
        }
    }

    void trackBarChangesThePaceAtOnce() {
        QVERIFY(startProgram());
        enterSpeedPage();
        chooseSubPage(ui().TabSheet5);
        QCOMPARE(ui().Paint_Timer->interval(), 500);
        ui().BitBtn9->click();
        ui().Select_Level->setValue(10);
        QVERIFY(ui().Paint_Timer->isActive());
        QCOMPARE(ui().Paint_Timer->interval(), 50);
        QCOMPARE(ui().Disp_Lavel->text(), QStringLiteral("10"));
        QCOMPARE(ui().MstLevel->value(), 10);
        QCOMPARE(w().EnvSettings().Level, 10);

        ui().Select_Level->setFocus();
        QTest::keyClick(ui().Select_Level, Qt::Key_Left);
        QCOMPARE(ui().Select_Level->value(), 9);
        QCOMPARE(ui().Paint_Timer->interval(), 100);
        QCOMPARE(ui().MstLevel->value(), 9);

        // The next main page switch stores the level with the counters, and stops the exercise.
        vtest::ClickTab(ui().PageControl1, 0);
        QVERIFY(!ui().Paint_Timer->isActive());
        QVERIFY(vtest::ReadIniLines(m_folders->settingsFile()).contains(QStringLiteral("Level=9")));
    }

    void storedLevelMovesTheTrackBar_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("spin");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("interval");
        QTest::newRow("11 ends as 10") << 11 << 10 << 10 << "10" << 50;
        QTest::newRow("4") << 4 << 4 << 4 << "4" << 350;
        // The track bar already stands at 1: it does not move, and Level stays 0 in memory.
        QTest::newRow("0 stays 0") << 0 << 1 << 0 << "1" << 100;
    }
    void storedLevelMovesTheTrackBar() {
        QFETCH(int, stored);
        QFETCH(int, spin);
        QFETCH(int, level);
        QFETCH(QString, shown);
        QFETCH(int, interval);
        QVERIFY(startProgram({QStringLiteral("Level=%1").arg(stored)}));
        QCOMPARE(ui().MstLevel->value(), spin);
        QCOMPARE(ui().Select_Level->value(), spin);
        QCOMPARE(w().EnvSettings().Level, level);
        QCOMPARE(ui().Disp_Lavel->text(), shown);
        QCOMPARE(ui().Paint_Timer->interval(), interval); // 100: the design value, not yet paced
        QVERIFY(!ui().Paint_Timer->isActive());
    }

    void typedLevelSetsThePaceWhenTheExerciseIsChosen() {
        QVERIFY(startProgram());
        QVERIFY(vtest::Activated(&w()));
        vtest::ClickTab(ui().PageControl1, ui().PageControl1->indexOf(ui().TabSheet4));
        ui().MstLevel->setFocus();
        QTRY_VERIFY(ui().MstLevel->hasFocus());
        ui().MstLevel->selectAll();
        QTest::keyClicks(ui().MstLevel, QStringLiteral("7"));
        enterSpeedPage(); // the learner goes straight on: no Enter, no "登　録"
        QCOMPARE(ui().MstLevel->value(), 7);
        chooseSubPage(ui().TabSheet5);
        QCOMPARE(ui().Paint_Timer->interval(), 200);
        QCOMPARE(ui().Select_Level->value(), 1); // not saved yet: the track bar keeps the old level
        QCOMPARE(ui().Disp_Lavel->text(), QStringLiteral("1"));
    }

    // ---- speed page --------------------------------------------------------------------------

    void enteringShowsTheLessonBlankAtJavaReadCount() {
        QVERIFY(startProgram({"JavaReadCount=17"}));
        enterSpeedPage();
        ui().BitBtn1->click();
        ui().Read_Timer->stop();
        vtest::Tick(ui().Read_Timer);
        QVERIFY(!ui().Sppd_Text->text().isEmpty());
        chooseSubPage(ui().TabSheet5);
        ui().ToolButton17->trigger();

        vtest::ClickTab(ui().PageControl1, 0);
        QVERIFY(w().EnvSettings().SwSpeedText); // even with the first counter pair in use
        enterSpeedPage();
        QCOMPARE(ui().PageControl2->currentWidget(), ui().TabSheet6);
        QCOMPARE(ui().Sppd_Text->text(), QString());
        QCOMPARE(ui().dispcount->text(), QStringLiteral("17"));
        QVERIFY(ui().BitBtn1->isEnabled());
        // The field is back to all directions: its frame after the centre draws every disc.
        chooseSubPage(ui().TabSheet5);
        ui().BitBtn9->click();
        ui().Paint_Timer->stop();
        vtest::Tick(ui().Paint_Timer);
        vtest::Tick(ui().Paint_Timer);
        QCOMPARE(checkFrame(expectedFrame(1, vellaro::kPaintAllDirections)), QString());
    }

    void runningLessonGoesOnWhenTheExerciseIsChosen() {
        QVERIFY(startProgram());
        enterSpeedPage();
        ui().BitBtn1->click();
        chooseSubPage(ui().TabSheet5);
        QVERIFY(ui().Read_Timer->isActive());
        QVERIFY(!ui().BitBtn1->isEnabled());
        QVERIFY(!ui().Paint_Timer->isActive()); // the exercise does not start by itself
        QVERIFY(ui().BitBtn9->isEnabled());
        ui().BitBtn9->click();
        QVERIFY(ui().Read_Timer->isActive());
        QVERIFY(ui().Paint_Timer->isActive());

        chooseSubPage(ui().TabSheet6);
        QVERIFY(!ui().Read_Timer->isActive());
        QVERIFY(!ui().Paint_Timer->isActive());
        QVERIFY(ui().BitBtn1->isEnabled());
        QVERIFY(ui().BitBtn9->isEnabled());
    }

    void mainPageSwitchStopsBothAndStoresTheCounters() {
        QVERIFY(startProgram());
        enterSpeedPage();
        ui().BitBtn1->click();
        ui().Read_Timer->stop();
        vtest::Tick(ui().Read_Timer);
        vtest::Tick(ui().Read_Timer);
        ui().Read_Timer->start();
        chooseSubPage(ui().TabSheet5);
        ui().BitBtn9->click();
        QVERIFY(ui().Read_Timer->isActive() && ui().Paint_Timer->isActive());

        vtest::ClickTab(ui().PageControl1, ui().PageControl1->indexOf(ui().TabSheet4));
        QVERIFY(!ui().Read_Timer->isActive());
        QVERIFY(!ui().Paint_Timer->isActive());
        QVERIFY(ui().BitBtn1->isEnabled());
        QVERIFY(ui().BitBtn9->isEnabled());
        const QStringList ini = vtest::ReadIniLines(m_folders->settingsFile());
        QVERIFY(ini.contains(QStringLiteral("BasreadCount=2")));
        QVERIFY(ini.contains(QStringLiteral("JavaReadCount=1")));
        QVERIFY(ini.contains(QStringLiteral("Level=1")));
        QCOMPARE(ui().spBasicCount->value(), 2);

        // Coming back resumes nothing.
        enterSpeedPage();
        QVERIFY(!ui().Read_Timer->isActive());
        QVERIFY(!ui().Paint_Timer->isActive());
    }

    // ---- measurement (run by bench/frame_intervals.sh, not by the test suite) ----------------

    void frameIntervals() {
        if (!QCoreApplication::arguments().contains(QStringLiteral("frameIntervals")))
            QSKIP("a measurement: run by bench/frame_intervals.sh under Xvfb");
        QVERIFY(startProgram());
        enterSpeedPage();
        chooseSubPage(ui().TabSheet5);
        ui().Select_Level->setValue(10);
        QCOMPARE(ui().Paint_Timer->interval(), 50);

        // A frame is real once the surface has painted it to the window.
        struct PaintClock : QObject {
            QElapsedTimer clock;
            std::vector<qint64> at;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint)
                    at.push_back(clock.nsecsElapsed());
                return false;
            }
        } paints;
        int ticks = 0;
        connect(ui().Paint_Timer, &QTimer::timeout, this, [&] { ++ticks; });
        paints.clock.start();
        ui().BasImage->installEventFilter(&paints);
        ui().BitBtn9->click();
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 201, 60000);
        ui().BitBtn10->click();
        ui().BasImage->removeEventFilter(&paints);
        QVERIFY(paints.at.size() >= 200);

        std::vector<double> ms;
        for (std::size_t i = paints.at.size() - 200; i < paints.at.size(); ++i)
            ms.push_back(double(paints.at[i] - paints.at[i - 1]) / 1e6);
        std::sort(ms.begin(), ms.end());
        auto pct = [&](double p) { return ms[std::size_t(p * double(ms.size() - 1))]; };
        qInfo("frame intervals over %zu frames at level 10 (nominal 50 ms), %dx%d surface, "
              "platform %s:",
              ms.size(), ui().BasImage->width(), ui().BasImage->height(),
              qPrintable(QGuiApplication::platformName()));
        qInfo("  min %.2f  p5 %.2f  median %.2f  p95 %.2f  max %.2f ms", ms.front(), pct(0.05),
              pct(0.5), pct(0.95), ms.back());
        QVERIFY(pct(0.5) > 0);
    }
};

QTEST_MAIN(TstTrainer)
#include "tst_trainer.moc"
