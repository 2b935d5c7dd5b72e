#include "app/JavaHighlighter.h"

#include <QPalette>
#include <QTextBlock>
#include <QTextLayout>

namespace vellaro {

namespace {

Rgb ToRgb(const QColor& c) {
    return {c.red(), c.green(), c.blue()};
}

QColor ToColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()), std::size_t(text.size())};
}

// Stands for "no colour" on the one character before a preedit: see highlightBlock.
constexpr int kNeutralProperty = QTextFormat::UserProperty + 1;

} // namespace

JavaHighlighter::JavaHighlighter(QTextDocument* document, Mode mode, const QPalette& palette)
    : QSyntaxHighlighter(document), m_mode(mode) {
    setPalette(palette);
}

void JavaHighlighter::setPalette(const QPalette& palette) {
    const Rgb base = ToRgb(palette.color(QPalette::Base));
    for (std::size_t k = 0; k < kTokenKindCount; ++k) {
        QTextCharFormat f;
        f.setForeground(ToColor(TokenColour(TokenKind(k), base)));
        if (TokenKind(k) == TokenKind::Keyword || TokenKind(k) == TokenKind::Shorthand)
            f.setFontWeight(QFont::Bold);
        if (TokenKind(k) == TokenKind::Comment)
            f.setFontItalic(true);
        m_formats[k] = f;
    }
    // A full-width symbol stands on a pale orange ground with an orange line under it; the text
    // keeps its own colour, which the ground is light enough for.
    const bool light = palette.color(QPalette::Base).lightnessF() > 0.5;
    m_fullWidth = QTextCharFormat();
    m_fullWidth.setBackground(light ? QColor(255, 222, 173) : QColor(110, 70, 0));
    m_fullWidth.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    m_fullWidth.setUnderlineColor(light ? QColor(200, 90, 0) : QColor(255, 170, 60));
    rehighlight();
}

void JavaHighlighter::setShorthandColumns(std::vector<int> columns) {
    m_shorthandColumns = std::move(columns);
    rehighlight();
}

const JavaHighlighter::LineData* JavaHighlighter::dataOf(const QTextBlock& block) {
    return static_cast<const LineData*>(block.userData());
}

void JavaHighlighter::highlightBlock(const QString& text) {
    const LineState start = previousBlockState() == int(LineState::BlockComment)
                                ? LineState::BlockComment
                                : LineState::Code;
    const std::u16string_view whole = View(text);
    const std::size_t offset = m_mode == Mode::Listing ? ListingTextStart(whole) : 0;
    LineSyntax syntax = ReadJavaLine(whole.substr(offset), start, m_mode == Mode::Editor);
    setCurrentBlockState(int(syntax.end));
    const int o = int(offset);
    for (const Token& t : syntax.tokens)
        setFormat(o + int(t.start), int(t.length), m_formats[std::size_t(t.kind)]);
    if (m_mode == Mode::Listing) {
        const int line = currentBlock().blockNumber();
        if (line < int(m_shorthandColumns.size()) && m_shorthandColumns[std::size_t(line)] >= 0)
            setFormat(o + m_shorthandColumns[std::size_t(line)], int(kShorthandExpansion.size()),
                      m_formats[std::size_t(TokenKind::Shorthand)]);
    }
    auto* data = new LineData;
    for (FullWidthChar& f : syntax.fullWidth) {
        f.column += offset;
        if (m_mode == Mode::Editor)
            setFormat(int(f.column), 1, m_fullWidth);
    }
    for (Bracket& b : syntax.brackets)
        b.column += offset;
    data->brackets = std::move(syntax.brackets);
    data->fullWidth = std::move(syntax.fullWidth);
    data->total = m_fullWidthTotal;
    *m_fullWidthTotal += int(data->fullWidth.size());
    setCurrentBlockUserData(data); // the line's earlier data, and its count, go

    // The text of an input method's preedit is not in the block, but the layout stretches the
    // format that ends where it stands over all of it. The character before it takes a format
    // that colours nothing, so the preedit never takes a colour or a mark from the code.
    if (const QTextLayout* layout = currentBlock().layout();
        layout && !layout->preeditAreaText().isEmpty()) {
        const int at = layout->preeditAreaPosition();
        if (at > 0 && at <= text.size() && format(at - 1) != QTextCharFormat()) {
            QTextCharFormat neutral;
            neutral.setProperty(kNeutralProperty, true);
            setFormat(at - 1, 1, neutral);
        }
    }
}

} // namespace vellaro
