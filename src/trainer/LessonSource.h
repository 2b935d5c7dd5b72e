#pragma once
// The readable source of the lesson text (resources/lesson/lesson.txt): the lines the learner
// reads, and marks that tie the Java examples among them to programs a test hands to javac.
//
// A line that begins with "#" is a mark and never reaches the lesson. Every other line is a lesson
// line. Marks:
//   #  or  # text            a comment
//   #java main P...           the example lines that follow are statements of P's main method
//   #java member P...         ... members of P's class (methods), placed after main
//   #java top P...            ... declarations after P's class (another class)
//   #java file P STEM         ... the whole file STEM.java of program P, as it stands
//   #javac P                  ... messages javac prints for P, which must not compile cleanly
//   #end                      the end of the region a #java or #javac mark opened
//   #+<line>                  a line the compiler sees and the learner does not (a declaration
//                             that the text takes for granted, a brace a fragment leaves open);
//                             <line> is written as a lesson line would be, with its TAB
// Inside a region, a lesson line that begins with TAB is an example line and is taken without
// that TAB; a lesson line without one is prose and is skipped. A program's main method is built
// as the exercise bench builds it from the learner's statements.
//
// All texts are UTF-8, as the source file is.

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vellaro {

struct LessonProgram {
    std::string fileStem;            // the file is <fileStem>.java; the program's name by default
    std::vector<std::string> file;   // a whole file, when the lesson shows one
    std::vector<std::string> main;   // statements of main
    std::vector<std::string> member; // members of the main class
    std::vector<std::string> top;    // declarations after the main class
    std::vector<std::string> javacSays; // messages javac must print for it
};

struct LessonSource {
    std::vector<std::string> lines;                // the lesson as the learner reads it
    std::map<std::string, LessonProgram> programs; // by name
    std::string error;                             // "line N: why" for a malformed mark
};

LessonSource ParseLessonSource(std::string_view text);

// The lesson lines of a source: every line that is not a mark.
std::vector<std::string> LessonLinesOf(std::string_view text);

} // namespace vellaro
