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

#include "exercise/JavaComp.h"

namespace vellaro {

// An exercise is a learner's typing; anything near this size is not one, and loading it would
// only freeze the editor.
inline constexpr std::size_t kMaxExerciseFileBytes = 16u * 1024u * 1024u;

// The fixed texts of the file commands (UTF-8).
inline constexpr std::string_view kMsgEnterClassName = "クラス名を入力して下さい";
inline constexpr std::string_view kMsgCannotWrite = "Javaプログラムソースの書き出しができません";
inline constexpr std::string_view kMsgCannotRead = "Javaプログラムソースの読込みができません";

// ---- file contents -------------------------------------------------------------------------

// Editor text (lines separated by LF, CR LF or CR) to the bytes of an exercise file: every line
// break becomes CR LF, and the file ends with a line break only if the text does.
std::string ExerciseFileBytes(std::string_view editorText);
// Exercise-file bytes to editor text: CR LF, a lone LF and a lone CR each become one LF.
std::string ExerciseTextFromFileBytes(std::string_view bytes);
// The generated lines, each followed by CR LF; no lines give no bytes.
std::string JavaFileBytes(const TextLines& lines);

// ---- CP932 for writing ---------------------------------------------------------------------

struct UnencodableChar {
    std::size_t line = 0;  // 1-based, counted by LF
    std::string character; // the character itself (UTF-8)
    char32_t codePoint = 0;
};

// UTF-8 text to CP932. nullopt (with where and what) when a character has no CP932 form or the
// text is not valid UTF-8.
std::optional<std::string> EncodeTextCp932(std::string_view utf8, UnencodableChar* failure);
// The message that refuses the write, naming the line and the character (UTF-8).
std::string UnencodableMessage(const UnencodableChar& failure);

// ---- reading -------------------------------------------------------------------------------

enum class ExerciseReadStatus {
    Ok,
    CannotRead, // missing, not a regular file, or a read error
    TooLarge,   // larger than kMaxExerciseFileBytes
    Binary,     // holds NUL bytes: not a text file
    NotCp932,   // holds a byte sequence that is not CP932 text
    Utf8Text,   // well-formed UTF-8 with characters beyond ASCII: written by another editor
};

// True for well-formed UTF-8 that holds at least one character beyond ASCII. Real CP932
// Japanese almost never passes: its lead bytes 0x81-0x9F cannot start a UTF-8 character.
bool LooksLikeUtf8Text(std::string_view bytes);

struct ExerciseRead {
    ExerciseReadStatus status = ExerciseReadStatus::CannotRead;
    std::string text;     // CP932, lines separated by LF (when Ok)
    std::size_t line = 0; // the offending line for Binary and NotCp932
};

ExerciseRead ReadExerciseFile(const std::filesystem::path& file);
// The message for a failed read (UTF-8): kMsgCannotRead, with the reason on a second line when
// there is more to say than that the file could not be read.
std::string ReadFailureMessage(const ExerciseRead& read);

// ---- writing -------------------------------------------------------------------------------

// Both replace the whole file atomically. false when the file could not be written; the target
// is then as it was. reason (if given) receives the system's text.
bool WriteExerciseFile(const std::filesystem::path& file, std::string_view editorTextCp932,
                       std::string* reason = nullptr);
bool WriteJavaFile(const std::filesystem::path& file, const TextLines& linesCp932,
                   std::string* reason = nullptr);

} // namespace vellaro
