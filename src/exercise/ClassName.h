#pragma once
// The class-name rule: the class-name field holds only ASCII digits, "_" and ASCII letters.
// A change that brings in anything else is undone as a whole, back to the last accepted name.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vellaro {

// The warning of every command that needs a class name when the field is empty (UTF-8).
inline constexpr std::string_view kMsgEnterClassName = "クラス名を入力して下さい";

// How many characters the learner may type or paste into the class-name field. Text that the
// program sets (the stem of an exercise file's name) may be longer.
inline constexpr int kClassNameTypedLimit = 10;

// True for "0"-"9", "_", "a"-"z" and "A"-"Z". Judged byte by byte: every byte of a Japanese
// character (CP932 or UTF-8) lies above "z", so none is allowed.
bool IsClassNameChar(char c);
// True when every byte of the text is allowed; the empty text is allowed.
bool IsAllowedClassName(std::string_view text);

// One run of the rule for the field's new text. When the text is allowed it becomes the
// accepted name and true is returned. Otherwise the accepted name is kept and false is
// returned: the field must go back to `accepted`.
bool ApplyClassNameRule(std::string_view fieldText, std::string& accepted);

// True when the name is that of a public class or interface of java.lang, java.util or java.io
// ("String", "Scanner", "System"): a class of that name in the work folder would take the place
// of Java's own in every exercise compiled or run there, so no command writes or runs one.
bool IsJavaStandardClassName(std::string_view name);

// The warning for such a name (UTF-8): "「String」は Java の標準クラスの名前です。…".
std::string StandardClassNameMessage(std::string_view name);

// The files in a folder that hide Java's own classes: "<name>.java" and "<name>.class" for the
// names above, sorted by name. An earlier version did not refuse them, so they may be there.
std::vector<std::filesystem::path> ShadowingFiles(const std::filesystem::path& folder);

// The message pane's line naming them (UTF-8); empty for none.
std::string ShadowingFilesMessage(const std::vector<std::filesystem::path>& files);

// A file's name without its folder, cut before its first dot: "ex/Hello.v2.sja" gives "Hello",
// ".sja" gives the empty text, "my prog.sja" gives "my prog". The result is in the encoding of
// the path (UTF-8 on Linux); the class-name rule then judges it.
std::string ExtractNameStem(const std::filesystem::path& file);

} // namespace vellaro
