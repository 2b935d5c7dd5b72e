// The exercise editor's colours and marks against a plain editor.
//
//   BM_ColourPaste    10 000 pasted lines of Java coloured (and read for brackets and
//                     full-width symbols), the count of full-width symbols included.
//   BM_ListingColour  the same lines as a listing of the compile page.
//   BM_KeyPress       one key in the middle of a 1 000-line exercise, up to the repaint of what
//                     it changed: exercise:0 a plain QPlainTextEdit, exercise:1 the exercise
//                     editor; backspace:0 an "a" typed, backspace:1 a Backspace; bracket:0 at
//                     the end of a statement, bracket:1 just after a "}" (its partner three
//                     lines up is highlighted). Counter painted_px: the height of the viewport
//                     painted for the key.
//
// Run from any folder: bench_editor (no display needed).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <cstdlib>
#include <memory>

#include "app/ExerciseEditor.h"

namespace {

// Adds up the height of what the viewport paints.
struct PaintedRows : QObject {
    long long pixels = 0;
    long long counted = 0; // during the timed parts
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            pixels += static_cast<QPaintEvent*>(e)->rect().height();
        return false;
    }
};

QApplication& App() {
    static QApplication* app = [] {
        if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int argc = 1;
        static char name[] = "bench_editor";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Lines as a beginner writes them: declarations, loops, strings, comments, the shorthand, and
// now and then a full-width symbol.
QString Exercise(int lines) {
    static const char* const kLines[] = {
        "int total = 0; // 合計",
        "for (int i = 0; i < 10; i++) {",
        "\ttotal += i * 2;",
        "\t?(\"途中: \" + total);",
        "}",
        "String name = \"Vellaro\"; /* 名前 */",
        "double d = 3.5e-2；",
        "if (total > 100 && name.length() > 3) { total = 0; }",
    };
    QStringList out;
    for (int i = 0; i < lines; ++i)
        out << QString::fromUtf8(kLines[i % 8]);
    return out.join(QLatin1Char('\n'));
}

void BM_ColourPaste(benchmark::State& state) {
    App();
    const QString text = Exercise(10000);
    vellaro::ExerciseEditor editor;
    for (auto _ : state) {
        state.PauseTiming();
        editor.clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        editor.insertPlainText(text);
        QCoreApplication::processEvents(); // the count of full-width symbols
    }
    state.counters["full_width"] = editor.fullWidthCount();
}
BENCHMARK(BM_ColourPaste)->Unit(benchmark::kMillisecond);

void BM_ListingColour(benchmark::State& state) {
    App();
    QStringList lines = Exercise(10000).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i)
        lines[i] = QString::asprintf("%3d :  \t\t", i + 6) + lines[i];
    const QString text = lines.join(QLatin1Char('\n'));
    vellaro::ListingView listing;
    for (auto _ : state) {
        listing.setPlainText(text);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ListingColour)->Unit(benchmark::kMillisecond);

void BM_KeyPress(benchmark::State& state) {
    App();
    const bool exercise = state.range(0) != 0;
    const bool backspace = state.range(1) != 0;
    const bool bracket = state.range(2) != 0;
    std::unique_ptr<QPlainTextEdit> editor(exercise ? new vellaro::ExerciseEditor
                                                    : new QPlainTextEdit);
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->resize(600, 400);
    editor->show();
    editor->setPlainText(Exercise(1000));
    // Line 500 is "}", line 498 "\ttotal += i * 2;".
    const QTextBlock line = editor->document()->findBlockByNumber(bracket ? 500 : 498);
    const int end = line.position() + line.length() - 1;
    QTextCursor caret(editor->document());
    caret.setPosition(end);
    editor->setTextCursor(caret);
    editor->centerCursor();
    QCoreApplication::processEvents();
    PaintedRows painted;
    editor->viewport()->installEventFilter(&painted);
    for (auto _ : state) {
        // The line as the key finds it: without the "a" for typing, with it for Backspace.
        state.PauseTiming();
        QTextCursor c(editor->document());
        c.setPosition(end);
        if (backspace)
            c.insertText(QStringLiteral("a"));
        editor->setTextCursor(c);
        QCoreApplication::processEvents();
        const long long before = painted.pixels;
        state.ResumeTiming();
        QKeyEvent key(QEvent::KeyPress, backspace ? Qt::Key_Backspace : Qt::Key_A, Qt::NoModifier,
                      backspace ? QString() : QStringLiteral("a"));
        QApplication::sendEvent(editor.get(), &key);
        // Up to the repaint: what the key made dirty is painted, as the window paints it.
        QCoreApplication::processEvents();
        state.PauseTiming();
        painted.counted += painted.pixels - before;
        if (!backspace) {
            QTextCursor undo(editor->document());
            undo.setPosition(end + 1);
            undo.deletePreviousChar();
        }
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetLabel(exercise ? "exercise editor" : "plain editor");
    // The height in pixels the viewport painted for the key.
    state.counters["painted_px"] =
        benchmark::Counter(double(painted.counted), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_KeyPress)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->ArgNames({"exercise", "backspace", "bracket"})
    ->Unit(benchmark::kMicrosecond);

} // namespace
