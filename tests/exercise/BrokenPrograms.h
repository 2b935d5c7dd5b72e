#pragma once
// Small broken programs as beginners type them into the bench, each with the explanation its
// first compiler message must get and the statement that message leads to. The reader's tests
// and the compile page's tests compile the same set with the real javac.
#include <cstddef>
#include <string>
#include <vector>

namespace vellaro::test {

struct BrokenProgram {
    const char* entry;                   // the explanation the first message must get
    std::vector<std::string> statements; // as the learner types them into the bench
    std::size_t statement;               // the statement the first message names; 0: the wrapper
};

// Each program is what a beginner types; its first message is the one the entry is written for.
inline const BrokenProgram kBrokenPrograms[] = {
    {"missing-semicolon", {"int x = 10", "?(x);"}, 1},
    {"missing-close-paren", {"int a = 1;", "?(\"合計: \" + (a + 1);"}, 2},
    {"missing-close-brace", {"int[] a = {1, 2;"}, 1},
    // The end of the file leads to the last statement, where the search for the "{" starts.
    {"end-of-file", {"for (int i = 0; i < 3; i++) {", "?(i);"}, 2},
    {"variable-not-found", {"int count = 1;", "?(cont);"}, 2},
    {"method-not-found", {"System.out.prinln(\"a\");"}, 1},
    {"class-not-found", {"Scanner sc = new Scaner(System.in);"}, 1},
    {"system-lower-case", {"system.out.println(\"a\");"}, 1},
    {"class-name-lower-case", {"string s = \"a\";"}, 1},
    {"class-in-java-time", {"LocalDate d = LocalDate.now();"}, 1},
    {"class-in-java-math", {"int x = 1;", "?(BigInteger.ONE.add(BigInteger.TWO));"}, 2},
    {"class-in-java-regex", {"Pattern p = Pattern.compile(\"[0-9]+\");"}, 1},
    {"string-to-number", {"int n = \"123\";"}, 1},
    {"possible-lossy-conversion", {"int x = Math.sqrt(9);"}, 1},
    {"condition-not-boolean", {"int x = 1;", "if (x = 1) {", "?(x);", "}"}, 2},
    {"variable-already-defined", {"int x = 1;", "int x = 2;"}, 2},
    {"variable-not-initialised", {"int sum;", "sum = sum + 1;"}, 2},
    {"unreachable-statement", {"return;", "?(\"終わり\");"}, 2},
    {"unexpected-return-value", {"?(1);", "return 0;"}, 2},
    {"missing-return-value", {"?(twice(2));", "}", "static int twice(int x) {", "return;"}, 4},
    {"missing-return-statement",
     {"?(twice(2));", "}", "static int twice(int x) {", "int y = x;"},
     0},
    {"not-a-statement", {"int x = 1;", "x + 1;"}, 2},
    {"illegal-start-of-expression", {"int x = ;"}, 1},
    {"class-expected", {"int x = 1;", "if (x > 0) ?(x); }"}, 0},
    {"public-class-in-other-file",
     {"?(1);", "}", "}", "public class Dog {", "int age;", "void bark() {"},
     4},
    {"unclosed-string-literal", {"String s = \"こんにちは;"}, 1},
    {"illegal-char-ideographic-space", {"int　x = 1;"}, 1},
    {"illegal-char-fullwidth", {"int x = 1；"}, 1},
    {"illegal-char-curly-quote", {"String s = “abc”;"}, 1},
    {"unreported-ioexception",
     {"BufferedReader br = new BufferedReader(new InputStreamReader(System.in));",
      "String s = br.readLine();"},
     2},
    {"deprecated-api", {"Integer i = new Integer(5);", "?(i);"}, 1},
    {"string-assigned-in-condition",
     {"String answer = \"いいえ\";", "if (answer = \"はい\") {", "?(1);", "}"},
     2},
    {"string-compared-with-operator", {"String a = \"x\";", "if (a == 1) {", "}"}, 2},
    {"string-compared-with-char", {"String s = \"y\";", "if (s == 'y') {", "}"}, 2},
    {"char-to-string", {"String s = 'y';"}, 1},
    {"method-without-parentheses",
     {"Scanner sc = new Scanner(System.in);", "int n = sc.nextInt;"},
     2},
    {"private-without-parentheses",
     {"ArrayList<Integer> list = new ArrayList<>();", "int n = list.size;"},
     2},
    {"constructor-scanner", {"Scanner sc = new Scanner();"}, 1},
    {"constructor-mismatch", {"Random r = new Random(1, 2);"}, 1},
    {"break-outside-loop", {"int n = 1;", "break;"}, 2},
    {"method-in-main", {"static int twice(int x) {", "return x * 2;", "}"}, 1},
    {"method-declared-in-main-semicolon", {"int twice(int x) {", "return x * 2;", "}"}, 1},
    {"import-in-editor", {"import java.util.Scanner;", "Scanner sc = new Scanner(System.in);"}, 1},
    {"class-in-editor",
     {"public class Hello {", "public static void main(String[] args) {", "?(\"a\");", "}", "}"},
     1},
    {"class-already-defined", {"class Hello {", "}"}, 1},
    {"double-to-float", {"float f = 3.14;"}, 1},
    {"new-primitive", {"int x = new int(5);"}, 1},
    // A stray "}" closes main: the message names the statement below it and leads to the "}".
    {"identifier-expected", {"int x = 1;", "}", "?(x);"}, 2},
    {"else-without-if",
     {"int x = 1;", "if (x > 0);", "{", "x = 2;", "}", "else {", "x = 3;", "}"},
     6},
};

} // namespace vellaro::test
