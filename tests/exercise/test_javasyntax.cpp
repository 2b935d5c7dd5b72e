// What the editor and the listing read in a line of Java: kinds of words, brackets and their
// partners, indentation, full-width symbols, and colours that keep their contrast.
#include <gtest/gtest.h>

#include "exercise/JavaSyntax.h"

using namespace vellaro;

namespace {

// The kinds of the tokens of a line as "kind:text" items, for readable comparisons.
std::vector<std::u16string> Kinds(std::u16string_view line, LineState start = LineState::Code) {
    static const char16_t* names[] = {u"kw", u"type", u"str", u"chr", u"cmt", u"num", u"short"};
    std::vector<std::u16string> out;
    for (const Token& t : ReadJavaLine(line, start).tokens)
        out.push_back(std::u16string(names[int(t.kind)]) + u":" +
                      std::u16string(line.substr(t.start, t.length)));
    return out;
}

using K = std::vector<std::u16string>;

} // namespace

TEST(JavaSyntax, KindsOfWords) {
    const struct {
        std::u16string_view line;
        K kinds;
    } cases[] = {
        {u"int a = 3;", {u"type:int", u"num:3"}},
        {u"String s = null;", {u"type:String", u"kw:null"}},
        {u"if (MAX > 0x1F) return;", {u"kw:if", u"num:0x1F", u"kw:return"}},
        {u"double d = 1.5e-3 + .5;", {u"type:double", u"num:1.5e-3", u"num:.5"}},
        {u"数 = 1; // 数を数える", {u"num:1", u"cmt:// 数を数える"}},
        // Words inside literals and comments are the literal's or the comment's.
        {u"s = \"if int\\\" class\";", {u"str:\"if int\\\" class\""}},
        {u"c = '\\'';", {u"chr:'\\''"}},
        {u"/* return */ return", {u"cmt:/* return */", u"kw:return"}},
        {u"s = \"open", {u"str:\"open"}},
        // The first "?(" is the shorthand wherever it stands, as the source generation takes it;
        // a second one is not.
        {u"?(\"?(\");", {u"str:\"?(\"", u"short:?("}},
        {u"s = \"a?(b\";", {u"str:\"a?(b\"", u"short:?("}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Kinds(c.line), c.kinds) << "case " << (&c - cases);
}

TEST(JavaSyntax, BlockCommentGoesOnIntoTheNextLines) {
    const LineSyntax open = ReadJavaLine(u"a = 1; /* if", LineState::Code);
    EXPECT_EQ(open.end, LineState::BlockComment);
    EXPECT_EQ(Kinds(u"still { \"x\"", LineState::BlockComment), K{u"cmt:still { \"x\""});
    EXPECT_TRUE(ReadJavaLine(u"still {", LineState::BlockComment).brackets.empty());
    const LineSyntax closed = ReadJavaLine(u"end */ int", LineState::BlockComment);
    EXPECT_EQ(closed.end, LineState::Code);
    EXPECT_EQ(Kinds(u"end */ int", LineState::BlockComment), (K{u"cmt:end */", u"type:int"}));
}

TEST(JavaSyntax, FullWidthSymbolsAreMarkedOnlyInTheCode) {
    const LineSyntax s = ReadJavaLine(u"int　a＝1；?(\"；\"); // ；“", LineState::Code);
    const std::vector<FullWidthChar> expected = {
        {3, u'　', u' '}, {5, u'＝', u'='}, {7, u'；', u';'}};
    EXPECT_EQ(s.fullWidth, expected);
    // Curly quotes do not open a literal: what follows them is code, and they are marked.
    const LineSyntax quotes = ReadJavaLine(u"?(“あ”)（", LineState::Code);
    ASSERT_EQ(quotes.fullWidth.size(), 3u);
    EXPECT_EQ(quotes.fullWidth[0].half, u'"');
    EXPECT_EQ(quotes.fullWidth[2].half, u'(');
    EXPECT_EQ(HalfWidthOf(u'～'), u'~');
    EXPECT_EQ(HalfWidthOf(u'あ'), std::nullopt);
}

TEST(JavaSyntax, HalfWidthCommandReplacesOnlyMarkedCharacters) {
    const std::vector<std::u16string> lines = {u"int　a＝1；/* 全角（", u"；） */ ?(\"（\")；"};
    const std::vector<std::u16string> expected = {u"int a=1;/* 全角（", u"；） */ ?(\"（\");"};
    EXPECT_EQ(WithHalfWidthSymbols(lines), expected);
}

TEST(JavaSyntax, TipNamesTheCharacterAndItsHalfWidthForm) {
    EXPECT_EQ(FullWidthTip(u'；'),
              "全角の「；」です。Java の記号は半角で書きます。\n半角では「;」です。");
    EXPECT_EQ(FullWidthTip(u'　'),
              "全角の「　」です。Java の記号は半角で書きます。\n半角では空白です。");
    EXPECT_EQ(FullWidthCountText(3), "全角の記号が 3 個あります");
}

TEST(JavaSyntax, BracketPartnersAcrossLines) {
    const std::vector<std::u16string> text = {u"for (int i = 0; i < a[2]; i++) {",
                                              u"  s = \")\" + f(i);", u"}", u"(]", u"{ ( }"};
    std::vector<std::vector<Bracket>> brackets;
    for (const auto& line : text)
        brackets.push_back(ReadJavaLine(line, LineState::Code).brackets);
    const auto of = [&](std::size_t l) -> const std::vector<Bracket>& { return brackets[l]; };
    const auto partner = [&](std::size_t line, std::size_t index) {
        return PartnerBracket({line, index}, text.size(), of);
    };
    // "(" of for ... its ")"; "[" ... "]"; "{" ... "}" two lines down, past the ")" in a string.
    EXPECT_EQ(partner(0, 0), (BracketAt{0, 3}));
    EXPECT_EQ(partner(0, 3), (BracketAt{0, 0}));
    EXPECT_EQ(partner(0, 1), (BracketAt{0, 2}));
    EXPECT_EQ(partner(0, 4), (BracketAt{2, 0}));
    EXPECT_EQ(partner(2, 0), (BracketAt{0, 4}));
    // A bracket closed by one of another kind, or never closed, is unmatched.
    EXPECT_EQ(partner(3, 0), std::nullopt);
    EXPECT_EQ(partner(3, 1), std::nullopt);
    // Only its own kind counts: a "(" left open does not take the braces' partner.
    EXPECT_EQ(partner(4, 0), (BracketAt{4, 2}));
    EXPECT_EQ(partner(4, 1), std::nullopt);
}

TEST(JavaSyntax, IndentationRules) {
    const struct {
        std::u16string_view before;
        std::u16string_view indent;
    } breaks[] = {
        {u"int a;", u""},        {u"\t  x = 1;", u"\t  "}, {u"\tif (a) {", u"\t\t"},
        {u"if (a) {   ", u"\t"}, {u"s = \"{\"", u""}, // a brace in a literal opens nothing
        {u"x; // {", u""},                            // nor one in a comment
        {u"\t\t", u"\t\t"}, // an empty indented line keeps its indentation
    };
    for (const auto& b : breaks)
        EXPECT_EQ(IndentAfterBreak(b.before, LineState::Code), b.indent);

    EXPECT_EQ(DedentForClosingBrace(u"\t\t"), 1u);
    EXPECT_EQ(DedentForClosingBrace(u"      "), 4u);
    EXPECT_EQ(DedentForClosingBrace(u"  "), 2u);
    EXPECT_EQ(DedentForClosingBrace(u""), 0u);
    EXPECT_EQ(DedentForClosingBrace(u"\tx = 1; "), 0u);
}

TEST(JavaSyntax, SourceColumnsMapBackToTheStatement) {
    // The source line is two tabs and the statement with "?(" expanded to 20 characters.
    EXPECT_EQ(StatementColumn(u"int a = 3", 11), 9u);
    EXPECT_EQ(StatementColumn(u"int a = 3", 0), 0u);
    EXPECT_EQ(StatementColumn(u"?(a + b)", 2), 0u);    // "System..." means the shorthand
    EXPECT_EQ(StatementColumn(u"?(a + b)", 21), 0u);   // its "(" as well
    EXPECT_EQ(StatementColumn(u"?(a + b)", 22), 2u);   // "a" after the expansion
    EXPECT_EQ(StatementColumn(u"x = 1; ?(x)", 5), 3u); // before the shorthand, only the tabs
    EXPECT_EQ(ListingTextStart(u"  6 :  \t\tint a;"), 7u);
}

TEST(JavaSyntax, ColoursKeepTheirContrastOnLightAndDarkBackgrounds) {
    for (const Rgb background :
         {Rgb{255, 255, 255}, Rgb{255, 251, 240}, Rgb{30, 30, 30}, Rgb{120, 120, 120}})
        for (std::size_t k = 0; k < kTokenKindCount; ++k) {
            const Rgb c = TokenColour(TokenKind(k), background);
            EXPECT_GE(ContrastRatio(c, background), 4.5) << k << " on " << background.r;
        }
    EXPECT_NEAR(ContrastRatio({0, 0, 0}, {255, 255, 255}), 21.0, 1e-9);
    // On white the base colours stand as they are: each kind keeps a colour of its own.
    EXPECT_NE(TokenColour(TokenKind::Keyword, {255, 255, 255}),
              TokenColour(TokenKind::Type, {255, 255, 255}));
}
