#pragma once
// Exercise files (".sja": the editor's text in CP932 with CR LF between lines) and Java source
// files (".java": the generated lines, each followed by CR LF, in CP932).
//
// Writes are whole-file and atomic, so a failed write leaves the old file as it was. Text that
// CP932 cannot hold is never replaced: the write is refused before anything is written, and the
// message names the line.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/Cp932Text.h"
#include "exercise/JavaComp.h"

namespace vellaro {

// An exercise is a learner's typing; anything near this size is not one, and loading it would
// only freeze the editor.
inline constexpr std::size_t kMaxExerciseFileBytes = 16u * 1024u * 1024u;

// The fixed texts of the file commands (UTF-8).
inline constexpr std::string_view kMsgCannotWrite = "Javaプログラムソースの書き出しができません";
inline constexpr std::string_view kMsgCannotRead = "Javaプログラムソースの読込みができません";
// The status bar after an exercise read from a UTF-8 file was written, in CP932 as every file.
inline constexpr std::string_view kSavedAsSjis = "Shift-JIS で保存しました";

// ---- file contents -------------------------------------------------------------------------

// Editor text (lines separated by LF, CR LF or CR) to the bytes of an exercise file: every line
// break becomes CR LF, and the file ends with a line break only if the text does. Both work on
// the bytes of either encoding: only CR and LF are looked at.
std::string ExerciseFileBytes(std::string_view editorTextBytes);
// Exercise-file bytes to editor text: CR LF, a lone LF and a lone CR each become one LF.
std::string ExerciseTextFromFileBytes(std::string_view bytes);
// The generated lines, each followed by CR LF; no lines give no bytes.
std::string JavaFileBytes(const Cp932Lines& lines);

// ---- encoding for writing ------------------------------------------------------------------

struct UnencodableChar {
    std::size_t line = 0;  // 1-based, counted by LF
    std::string character; // the character itself (UTF-8)
    char32_t codePoint = 0;
};

// nullopt (with where and what) when a character has no CP932 form or the text is not valid
// UTF-8.
std::optional<Cp932Text> EncodeTextCp932(std::string_view utf8, UnencodableChar* failure);
// The message that refuses the write, naming the line and the character (UTF-8).
std::string UnencodableMessage(const UnencodableChar& failure);

// ---- reading -------------------------------------------------------------------------------

enum class ExerciseReadStatus {
    Ok,
    CannotRead, // missing, not a regular file, or a read error
    TooLarge,   // larger than kMaxExerciseFileBytes
    Binary,     // holds NUL bytes: not a text file
    NotCp932,   // neither CP932 nor UTF-8 text
};

// How the bytes of an exercise file are taken. CP932 is the program's own; the half-width
// katakana of CP932 (ﾃｽ: C3 BD) also happen to form two-byte UTF-8 characters, so only a UTF-8
// character of three or four bytes (all Japanese ones) makes a file look written in UTF-8.
enum class ExerciseEncoding {
    Cp932,  // not UTF-8, or nothing beyond two-byte UTF-8 characters: CP932
    Utf8,   // UTF-8 that is not CP932: written by another editor
    Either, // valid both ways, with a UTF-8 character of three or four bytes: the learner decides
};

// The question for ExerciseEncoding::Either (UTF-8): "はい" UTF-8, "いいえ" CP932, "キャンセル".
inline constexpr std::string_view kMsgReadAsUtf8 =
    "このファイルは UTF-8 で書かれているようです。UTF-8 として読み込みますか？"
    "（「いいえ」は Shift-JIS として読み込みます）";

struct Utf8Shape {
    bool valid = false;        // well-formed UTF-8 (no overlong form, surrogate or code beyond)
    bool longSequence = false; // holds a character of three or four bytes
};
Utf8Shape InspectUtf8(std::string_view bytes);

struct ExerciseRead {
    ExerciseReadStatus status = ExerciseReadStatus::CannotRead;
    ExerciseEncoding encoding = ExerciseEncoding::Cp932;
    Cp932Text text;       // the CP932 reading, lines separated by LF (Cp932, Either)
    std::string utf8Text; // the UTF-8 reading, lines separated by LF, no byte-order mark (Utf8,
                          // Either)
    std::size_t line = 0; // the offending line for Binary and NotCp932
};

// Judges the bytes of an exercise file (see ExerciseEncoding) and gives their readings.
ExerciseRead ReadExerciseBytes(std::string_view bytes);
ExerciseRead ReadExerciseFile(const std::filesystem::path& file);
// The message for a failed read (UTF-8): kMsgCannotRead, with the reason on a second line when
// there is more to say than that the file could not be read.
std::string ReadFailureMessage(const ExerciseRead& read);

// ---- writing -------------------------------------------------------------------------------

// Both replace the whole file atomically. false when the file could not be written; the target
// is then as it was. reason (if given) receives the system's text.
bool WriteExerciseFile(const std::filesystem::path& file, const Cp932Text& editorText,
                       std::string* reason = nullptr);
bool WriteJavaFile(const std::filesystem::path& file, const Cp932Lines& lines,
                   std::string* reason = nullptr);

// ---- compiling what is on screen ------------------------------------------------------------

// True when `file` is a regular file holding exactly the bytes WriteJavaFile would write for
// these lines; false when it is missing, cannot be read, or holds anything else.
bool JavaFileMatches(const std::filesystem::path& file, const Cp932Lines& lines);

// The question before a compile whose <class>.java is not the source on screen (UTF-8).
std::string UnwrittenSourceQuestion(std::string_view className);

// The question before a run when the exercise on screen is not what was last compiled (UTF-8).
std::string UncompiledRunQuestion(std::string_view className);

} // namespace vellaro
