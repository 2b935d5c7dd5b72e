// The class-name rule and the class name taken from a file's name.
#include <gtest/gtest.h>

#include "Scratch.h"
#include "common/Cp932.h"
#include "exercise/ClassName.h"

using vellaro::ApplyClassNameRule;
using vellaro::ExtractNameStem;
using vellaro::IsAllowedClassName;

TEST(ClassNameRule, OnlyDigitsUnderscoreAndAsciiLettersAreAllowed) {
    for (int b = 0; b < 256; ++b) {
        const bool expected =
            (b >= '0' && b <= '9') || b == '_' || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
        EXPECT_EQ(vellaro::IsClassNameChar(static_cast<char>(b)), expected) << b;
    }
    EXPECT_TRUE(IsAllowedClassName(""));
    EXPECT_TRUE(IsAllowedClassName("1st"));
    EXPECT_TRUE(IsAllowedClassName("_"));
    EXPECT_TRUE(IsAllowedClassName("Hello_World2"));
    EXPECT_FALSE(IsAllowedClassName("a b"));
    EXPECT_FALSE(IsAllowedClassName("A$"));
    EXPECT_FALSE(IsAllowedClassName(vellaro::Sjis("クラス").bytes()));
    EXPECT_FALSE(IsAllowedClassName("\xEF\xBC\xA1")); // full-width A in UTF-8
}

TEST(ClassNameRule, ARefusedChangeKeepsTheLastAcceptedName) {
    std::string accepted;
    EXPECT_TRUE(ApplyClassNameRule("Abc", accepted));
    EXPECT_EQ(accepted, "Abc");
    for (std::string_view bad : {"Abc ", "Abc-", "Abc$", "Abc.", "a b"}) {
        EXPECT_FALSE(ApplyClassNameRule(bad, accepted)) << bad;
        EXPECT_EQ(accepted, "Abc");
    }
    EXPECT_TRUE(ApplyClassNameRule("ALongerNameThanTen", accepted)); // no length rule here
    EXPECT_EQ(accepted, "ALongerNameThanTen");
    EXPECT_TRUE(ApplyClassNameRule("", accepted));
    EXPECT_EQ(accepted, "");
}

TEST(NameStem, FileNameWithoutFolderCutBeforeTheFirstDot) {
    // Dots in the folders do not count.
    const char* const stems[][2] = {{"/ex/Hello.sja", "Hello"},     {"/ex/Hello.v2.sja", "Hello"},
                                    {"My.Test.sja", "My"},          {"/ex/.sja", ""},
                                    {"/ex/my prog.sja", "my prog"}, {"/ex/NoDot", "NoDot"},
                                    {"/a.dir/Plain", "Plain"},      {"/ex/練習.sja", "練習"}};
    for (const auto& [file, stem] : stems)
        EXPECT_EQ(ExtractNameStem(file), stem) << file;
    EXPECT_FALSE(IsAllowedClassName(ExtractNameStem("/ex/my prog.sja")));
}

TEST(ClassNameRule, NamesOfTheImportedStandardClassesAreKnown) {
    // java.lang, java.util and java.io of JDK 17, and a name later JDKs added.
    for (const char* name :
         {"String", "System", "Math", "Integer", "Record", "Override", "Scanner", "Random",
          "ArrayList", "HexFormat", "Objects", "File", "Console", "PrintStream", "SequencedMap"})
        EXPECT_TRUE(vellaro::IsJavaStandardClassName(name)) << name;
    // Other packages, nested types, another case, and the learner's usual names.
    for (const char* name : {"Hello", "Main", "string", "Stream", "Path", "Entry", "Test", ""})
        EXPECT_FALSE(vellaro::IsJavaStandardClassName(name)) << name;
    EXPECT_EQ(vellaro::StandardClassNameMessage("String"),
              "「String」は Java の標準クラスの名前です。別のクラス名を付けて下さい");
}

TEST(ClassNameRule, FilesThatHideStandardClassesAreFound) {
    vtest::ScratchFolder dir;
    for (const char* name : {"String.java", "Scanner.class", "Hello.java", "String.txt",
                             "Hello.class", "scanner.class"})
        vtest::WriteFile(dir / name, "");
    const auto found = vellaro::ShadowingFiles(dir.path());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].filename(), "Scanner.class");
    EXPECT_EQ(found[1].filename(), "String.java");
    EXPECT_EQ(
        vellaro::ShadowingFilesMessage(found).rfind(
            "作業フォルダの Scanner.class、String.java は Java の標準クラスを隠しています。", 0),
        0u);
    EXPECT_EQ(vellaro::ShadowingFilesMessage({}), "");
    EXPECT_TRUE(vellaro::ShadowingFiles(dir.path() / "missing").empty());
}
