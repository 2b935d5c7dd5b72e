#include <gtest/gtest.h>

#include "exercise/StepProtocol.h"

using namespace vellaro;

TEST(StepProtocol, ReadsAStopWithItsVariables) {
    auto e = ParseStepEvent(
        R"({"ev":"stop","line":7,"vars":[{"name":"s","type":"String",)"
        R"("value":"\"a\\\"\u65e5\ud83d\ude00\""},{"name":"i","type":"int","value":"3"}]})");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->kind, StepEventKind::Stop);
    EXPECT_EQ(e->statement, 2);
    const std::vector<StepVariable> expected = {{"s", "String", "\"a\\\"日😀\""}, {"i", "int", "3"}};
    EXPECT_EQ(e->variables, expected);
}

TEST(StepProtocol, ReadsTheOtherEvents) {
    auto ex = ParseStepEvent(R"({"ev":"exception","line":8,"class":"java.lang.X","message":null})");
    ASSERT_TRUE(ex);
    EXPECT_EQ(ex->kind, StepEventKind::Exception);
    EXPECT_EQ(ex->statement, 3);
    EXPECT_EQ(ex->exceptionClass, "java.lang.X");
    EXPECT_FALSE(ex->exceptionMessage);
    auto end = ParseStepEvent(R"( {"ev":"end","status":1} )");
    ASSERT_TRUE(end);
    EXPECT_EQ(end->kind, StepEventKind::End);
    EXPECT_EQ(end->status, 1);
    EXPECT_EQ(ParseStepEvent(R"({"ev":"nojdi","x":[true,false,{}]})")->kind,
              StepEventKind::NoDebugger);
}

TEST(StepProtocol, SkipsWhatIsNotOneOfItsLines) {
    for (const char* line :
         {"", "{", "[]", "{\"ev\":\"stop\"}", "{\"ev\":\"stop\",\"line\":5,\"vars\":[]}",
          "{\"ev\":\"stop\",\"line\":6,\"vars\":{}}", "{\"ev\":\"what\"}",
          "{\"ev\":\"stop\",\"line\":6,\"vars\":[]} x", "{\"ev\":\"s\\x\"}", "{\"ev\":\"\\ud800\"}",
          "{\"ev\":\"a\nb\"}", "Exception in thread \"main\""})
        EXPECT_FALSE(ParseStepEvent(line)) << line;
    EXPECT_FALSE(ParseStepEvent(std::string(1000, '[') + std::string(1000, ']')));
}

TEST(StepProtocol, CommandsNameSourceLines) {
    EXPECT_EQ(StepNextCommand(), "step\n");
    EXPECT_EQ(StepRunCommand({}), "run\n");
    EXPECT_EQ(StepRunCommand({1, 4}), "run 6 9\n");
}

TEST(StepProtocol, ChangedIsNewOrDifferent) {
    const std::vector<StepVariable> before = {{"i", "int", "1"}, {"s", "int", "0"}};
    const std::vector<StepVariable> now = {{"i", "int", "2"}, {"s", "int", "0"}, {"t", "int", "0"}};
    EXPECT_EQ(ChangedVariables(before, now), (std::vector<bool>{true, false, true}));
}

TEST(StepProtocol, ExceptionIsFramedInJapanese) {
    EXPECT_EQ(ExplainStepException("java.lang.ArithmeticException", "/ by zero", 2),
              "2 番目の文で例外 java.lang.ArithmeticException が起きました（/ by zero）。"
              "プログラムはここで止まります。");
    EXPECT_EQ(ExplainStepException("E", std::nullopt, 0),
              "例外 E が起きました。プログラムはここで止まります。");
}

TEST(StepProtocol, ExceptionOfTheLearnersStatementGetsTheRunTimeExplanation) {
    const std::string text = ExplainStepException("java.lang.ArrayIndexOutOfBoundsException",
                                                  "Index 3 out of bounds for length 3", 2, "Hello",
                                                  {"int[] a = new int[3];", "a[3] = 1;"});
    EXPECT_EQ(text.rfind("実行時エラー: 配列の範囲の外の番号を使いました。\n"
                         "2 行目の文（リストの 7 行目）: a[3] = 1;\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("番号 3 の要素はありません"), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("\nプログラムはここで止まります。")) << text;
}
