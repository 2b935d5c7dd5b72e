// Speed-reading trainer handlers of the main window. Each handler calls the trainer core and
// then copies the core's state (display, counter, timers, Start buttons) to the widgets.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextDocument>
#include <QTimer>

#include "app/Controls.h"
#include "app/frmMain.h"
#include "app/frmMain_trainerState.h"
#include "common/delCommFunc.h"
#include "common/qt/Dialogs.h"
#include "common/qt/QtText.h"
#include "trainer/LessonText.h"
#include "trainer/qt/DiscSurface.h"
#include "trainer/qt/SpeedTextPanel.h"

namespace {

// Brings a window timer in line with the core without restarting it needlessly: QTimer restarts
// on setInterval and on start, which would stretch the interval being run.
void SyncTimer(QTimer* timer, bool on, int intervalMs) {
    if (timer->interval() != intervalMs)
        timer->setInterval(intervalMs);
    if (on && !timer->isActive()) {
        // A coarse timer may drift by up to 5 % per interval; the pace is the point here.
        timer->setTimerType(Qt::PreciseTimer);
        timer->start();
    } else if (!on && timer->isActive()) {
        timer->stop();
    }
}

// The lines as one text view shows them: LF between them.
template <typename Line, typename Convert>
QString JoinLines(const std::vector<Line>& lines, Convert toQt) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(lines.size()));
    for (const Line& line : lines)
        out << toQt(line);
    return out.join(QLatin1Char('\n'));
}

// The stored lines are the cipher's alphabet: ASCII, so UTF-8 as well.
QString JoinStoredLines(const std::vector<std::string>& lines) {
    return JoinLines(lines, [](const std::string& line) { return vellaro::FromUtf8(line); });
}

QString JoinLines(const vellaro::Cp932Lines& lines) {
    return JoinLines(lines, [](const vellaro::Cp932Text& line) { return vellaro::FromSjis(line); });
}

// The buffers are never shown: their text goes straight into the document, without the editor
// laying out and shaping its first lines for a caret nobody sees (and loading a font for it).
void SetBufferText(QPlainTextEdit* buffer, const QString& text) {
    buffer->document()->setPlainText(text);
}

} // namespace

void TMainCrt::ShowLesson(TrainerState& t) {
    const vellaro::ReadingLesson& lesson = t.page.lesson;
    if (lesson.display() != t.shown.display)
        Sppd_Text->setText(vellaro::FromSjis(lesson.display()));
    t.shown.display = lesson.display();
    if (lesson.counter() != t.shown.counter)
        dispcount->setText(vellaro::FromUtf8(lesson.counter()));
    t.shown.counter = lesson.counter();
    if (lesson.startEnabled() != t.shown.lessonStart)
        BitBtn1->setEnabled(lesson.startEnabled());
    t.shown.lessonStart = lesson.startEnabled();
    SyncTimer(Read_Timer, lesson.timerOn(), lesson.intervalMs());
}

void TMainCrt::ShowField(TrainerState& t) {
    const vellaro::VisualField& field = t.page.field;
    if (field.startEnabled() != t.shown.fieldStart)
        BitBtn9->setEnabled(field.startEnabled());
    t.shown.fieldStart = field.startEnabled();
    SyncTimer(Paint_Timer, field.timerOn(), field.intervalMs());
}

// ---- lesson text ----------------------------------------------------------------------------

bool TMainCrt::LoadLessonText() {
    TrainerState& t = *m_trainer;
    const auto status =
        vellaro::ReadLessonFile(vellaro::ExePath() / vellaro::kLessonFileName, t.encoded);
    if (status != vellaro::LessonReadStatus::Ok) {
        // Missing, unreadable, or too large to be a lesson: the buffer is emptied.
        FillLessonBuffers();
        vellaro::Dialogs().message(this, vellaro::MsgKind::Error,
                                   QStringLiteral("速読テキストが有りません、処理を中止します"),
                                   vellaro::MbYes);
        // Staying decodes nothing: the lines decoded before stay.
        return !EndProgram();
    }
    const vellaro::LessonDecodeResult result = vellaro::DecodeLessonText(t.encoded, t.lines);
    if (result.damaged) {
        FillLessonBuffers();
        vellaro::Dialogs().message(
            this, vellaro::MsgKind::Information,
            QStringLiteral("テキストファイルが壊れています、プログラムを終了します。"),
            vellaro::MbYes);
        // Staying keeps the lines before the damage.
        return !EndProgram();
    }
    MirrorLessonText();
    return true;
}

// The buffers mirror the lesson text as stored and as decoded (the lines decoded before stay
// when a read fails, and so does their mirror).
void TMainCrt::FillLessonBuffers() {
    TrainerState& t = *m_trainer;
    t.mirrorPending = false;
    SetBufferText(ReadText_Buffer, JoinStoredLines(t.encoded));
    SetBufferText(SreadText, JoinLines(t.lines));
}

// Nothing shows the buffers, so at start-up they are filled once the window has been painted
// for the first time (FillPendingLessonBuffers): the learner sees the window sooner. Only a
// screen reader that reads hidden controls between the window's map and its first paint could
// find them empty. A shown window's buffers are filled at once.
void TMainCrt::MirrorLessonText() {
    if (isVisible())
        FillLessonBuffers();
    else
        m_trainer->mirrorPending = true;
}

void TMainCrt::FillPendingLessonBuffers() {
    if (m_trainer->mirrorPending)
        FillLessonBuffers();
}

// ---- reading lesson -------------------------------------------------------------------------

void TMainCrt::BitBtn1Click() {
    TrainerState& t = *m_trainer;
    t.page.lesson.start(m_settings, t.lines.size());
    ShowLesson(t);
}

void TMainCrt::BitBtn5Click() {
    TrainerState& t = *m_trainer;
    t.page.lesson.stop();
    ShowLesson(t);
}

void TMainCrt::Read_TimerTimer() {
    TrainerState& t = *m_trainer;
    t.page.lesson.tick(m_settings, t.lines);
    ShowLesson(t);
    if (m_settings.SwSpeedText) {
        // The spin edit only shows the position (clamped to its range); the record keeps it as
        // it is, -1 included.
        const QSignalBlocker quiet(spBasicCount);
        spBasicCount->setValue(m_settings.BasreadCount);
    }
}

void TMainCrt::Sppd_TextExit() {
    TrainerState& t = *m_trainer;
    t.page.lesson.focusLost();
    ShowLesson(t);
}

void TMainCrt::ClearReadRunning() {
    m_trainer->page.lesson.clearRunning();
}

// ---- visual field expansion -----------------------------------------------------------------

void TMainCrt::BitBtn9Click() {
    TrainerState& t = *m_trainer;
    t.page.field.start();
    ShowField(t);
}

void TMainCrt::BitBtn10Click() {
    TrainerState& t = *m_trainer;
    t.page.field.stop();
    ShowField(t);
}

void TMainCrt::ToolButton10Click() {
    m_trainer->page.field.setMode(vellaro::kPaintAllDirections);
}
void TMainCrt::ToolButton17Click() {
    m_trainer->page.field.setMode(vellaro::kPaintVertical);
}
void TMainCrt::ToolButton19Click() {
    m_trainer->page.field.setMode(vellaro::kPaintHorizontal);
}

void TMainCrt::Select_LevelChange() {
    TrainerState& t = *m_trainer;
    m_settings.Level = Select_Level->value();
    Disp_Lavel->setText(vellaro::FromUtf8(vellaro::IntToText(m_settings.Level)));
    MstLevel->setValue(m_settings.Level); // the spin edit clamps to 1..10
    t.page.field.setPace(MstLevel->value());
    ShowField(t);
}

void TMainCrt::Paint_TimerTimer() {
    TrainerState& t = *m_trainer;
    BasImage->paintFrame(t.page.field.tick(BasImage->width(), BasImage->height()));
    // Button commands and the repaint run here; what they change shows from the next tick on.
    vellaro::PumpEvents();
}

void TMainCrt::TabSheet5Show() {
    m_trainer->page.field.sheetShown();
}

void TMainCrt::Panel16Resize() {
    vellaro::PumpEvents();
    // The layout fits the paint surface below the tool bar; its image follows, plain white.
    BasImage->fitToWidget();
    vellaro::PumpEvents();
}

// ---- speed page -----------------------------------------------------------------------------

void TMainCrt::EnterSpeedPage() {
    vellaro::PumpEvents();
    TrainerState& t = *m_trainer;
    // Set by program: the page control raises no learner change for it.
    {
        const vellaro::PageControl::ProgramChange guard(PageControl2);
        PageControl2->setCurrentWidget(TabSheet6);
    }
    t.page.enter(m_settings);
    ShowLesson(t);
    ShowField(t);
}

void TMainCrt::StopTrainerTimers() {
    TrainerState& t = *m_trainer;
    t.page.stopTimers();
    ShowLesson(t);
    ShowField(t);
}

void TMainCrt::PageControl2Change() {
    TrainerState& t = *m_trainer;
    if (PutBackUnderGuidance(PageControl2))
        return;
    const bool field = PageControl2->currentWidget() == TabSheet5;
    t.page.subPageChosen(field ? vellaro::SpeedSubPage::VisualField : vellaro::SpeedSubPage::Lesson,
                         MstLevel->value());
    ShowLesson(t);
    ShowField(t);
}
