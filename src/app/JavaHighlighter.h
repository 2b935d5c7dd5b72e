#pragma once
// Colours for the Java in the exercise editor and in the listing, and what each line holds for
// the editor's marks (its brackets and its full-width symbols). Presentation only: the document's
// text and formats stay as they are, so copying and saving take the plain text.
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <array>
#include <memory>
#include <vector>

#include "exercise/JavaSyntax.h"

class QTextBlock;

namespace vellaro {

class JavaHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
  public:
    enum class Mode {
        Editor,  // statement lines: the "?(" shorthand, full-width symbols marked
        Listing, // "%3d :  " + source line: the line number is left as it is
    };
    JavaHighlighter(QTextDocument* document, Mode mode, const QPalette& palette);

    // Colours that keep their contrast on this palette's background.
    void setPalette(const QPalette& palette);
    // Listing only: per line (counted from 0), the column of the line's text where the shorthand
    // was expanded, or -1; the expansion is coloured as the shorthand.
    void setShorthandColumns(std::vector<int> columns);

    // What the last colouring found in a block (nullptr before it was coloured).
    struct LineData;
    static const LineData* dataOf(const QTextBlock& block);

    // How many full-width symbols the coloured lines hold, kept as lines are coloured, edited
    // and removed, so that nobody has to walk the document for it after every key.
    int fullWidthTotal() const { return *m_fullWidthTotal; }

    QTextCharFormat kindFormat(TokenKind kind) const { return m_formats[std::size_t(kind)]; }
    QTextCharFormat fullWidthFormat() const { return m_fullWidth; }

  protected:
    void highlightBlock(const QString& text) override;

  private:
    Mode m_mode;
    std::array<QTextCharFormat, kTokenKindCount> m_formats;
    QTextCharFormat m_fullWidth;
    std::vector<int> m_shorthandColumns;
    // Shared with every line's data, which may outlive the highlighter inside the document.
    std::shared_ptr<int> m_fullWidthTotal = std::make_shared<int>(0);
};

struct JavaHighlighter::LineData : QTextBlockUserData {
    std::vector<Bracket> brackets;        // columns in the block's text
    std::vector<FullWidthChar> fullWidth; // columns in the block's text
    // The document drops a line's data when the line goes or is coloured anew: its symbols
    // leave the total then.
    std::shared_ptr<int> total;
    ~LineData() override {
        if (total)
            *total -= int(fullWidth.size());
    }
};

} // namespace vellaro
