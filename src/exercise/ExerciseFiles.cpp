#include "exercise/ExerciseFiles.h"

#include <algorithm>
#include <cstdio>

#include "common/AtomicFile.h"
#include "common/Cp932.h"

namespace vellaro {

namespace {

constexpr std::string_view kCrLf = "\r\n";

std::size_t LineOfOffset(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n')))
            ++line;
    }
    return line;
}

// Decodes the UTF-8 character at the offset; 0xFFFD when the bytes are not one.
char32_t DecodeUtf8At(std::string_view s, std::size_t at, std::size_t len) {
    if (at + len > s.size())
        return 0xFFFD;
    const auto b0 = static_cast<unsigned char>(s[at]);
    if (len == 1)
        return b0 < 0x80 ? b0 : 0xFFFD;
    char32_t cp = b0 & (0x7F >> len);
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[at + i]);
        if ((b & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (b & 0x3F);
    }
    return cp;
}

} // namespace

std::string ExerciseFileBytes(std::string_view editorText) {
    std::string out;
    out.reserve(editorText.size() + editorText.size() / 16 + 2);
    for (std::size_t i = 0; i < editorText.size(); ++i) {
        const char c = editorText[i];
        if (c == '\r') {
            if (i + 1 < editorText.size() && editorText[i + 1] == '\n')
                ++i;
            out.append(kCrLf);
        } else if (c == '\n') {
            out.append(kCrLf);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string ExerciseTextFromFileBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            out.push_back('\n');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string JavaFileBytes(const Cp932Lines& lines) {
    std::size_t total = 0;
    for (const Cp932Text& line : lines)
        total += line.size() + kCrLf.size();
    std::string out;
    out.reserve(total);
    for (const Cp932Text& line : lines) {
        out.append(line.bytes());
        out.append(kCrLf);
    }
    return out;
}

std::optional<Cp932Text> EncodeTextCp932(std::string_view utf8, UnencodableChar* failure) {
    CodecFailure codec;
    auto bytes = Utf8ToCp932(utf8, &codec);
    if (bytes)
        return bytes;
    if (failure) {
        const std::size_t at = std::min(codec.offset, utf8.size());
        const std::size_t len =
            at < utf8.size() ? std::min(Utf8SequenceLength(static_cast<unsigned char>(utf8[at])),
                                        utf8.size() - at)
                             : 0;
        failure->line = LineOfOffset(utf8, at);
        failure->character.assign(utf8.substr(at, len));
        failure->codePoint = len > 0 ? DecodeUtf8At(utf8, at, len) : 0xFFFD;
    }
    return std::nullopt;
}

std::string UnencodableMessage(const UnencodableChar& failure) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(failure.codePoint));
    // Invisible or broken characters would show as nothing between the brackets; the code
    // point still tells the learner what to look for.
    const char32_t cp = failure.codePoint;
    const bool invisible = cp < 0x20 || (cp >= 0x7F && cp <= 0xA0) || cp == 0xAD ||
                           (cp >= 0x2000 && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202F) ||
                           (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF || cp == 0xFFFD;
    const bool printable = !invisible && !failure.character.empty();
    std::string text = std::to_string(failure.line);
    text.append(" 行目に Shift-JIS で保存できない文字");
    if (printable) {
        text.append("「");
        text.append(failure.character);
        text.append("」");
    }
    text.append("（");
    text.append(code);
    text.append("）があります。\n");
    text.append(
        "この文字を書き換えてから、もう一度保存して下さい。ファイルには何も書き込んでいません。");
    return text;
}

Utf8Shape InspectUtf8(std::string_view bytes) {
    Utf8Shape shape;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The second byte's range excludes overlong forms, surrogates and codes beyond U+10FFFF.
        std::size_t len = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            len = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            len = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            len = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        if (len == 0 || i + len > bytes.size())
            return {};
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF))
                return {};
        }
        shape.longSequence = shape.longSequence || len > 2;
        i += len;
    }
    shape.valid = true;
    return shape;
}

ExerciseRead ReadExerciseBytes(std::string_view bytes) {
    ExerciseRead result;
    if (const std::size_t nul = bytes.find('\0'); nul != std::string::npos) {
        result.status = ExerciseReadStatus::Binary;
        result.line = LineOfOffset(bytes, nul);
        return result;
    }
    const Utf8Shape utf8 = InspectUtf8(bytes);
    CodecFailure codec;
    const bool cp932 = Cp932ToUtf8(Cp932Text(bytes), &codec).has_value();
    if (!cp932 && !utf8.valid) {
        result.status = ExerciseReadStatus::NotCp932;
        result.line = LineOfOffset(bytes, codec.offset);
        return result;
    }
    result.status = ExerciseReadStatus::Ok;
    // A file that is UTF-8 and nothing else is read as UTF-8 rather than refused, whatever the
    // length of its characters.
    if (!cp932)
        result.encoding = ExerciseEncoding::Utf8;
    else if (utf8.valid && utf8.longSequence)
        result.encoding = ExerciseEncoding::Either;
    else
        result.encoding = ExerciseEncoding::Cp932;
    if (result.encoding != ExerciseEncoding::Utf8)
        result.text = Cp932Text(ExerciseTextFromFileBytes(bytes));
    if (result.encoding != ExerciseEncoding::Cp932) {
        // A byte-order mark is a mark of UTF-8, not text. (EF BB is no CP932 character, so a
        // file that starts with one is never read as CP932.)
        constexpr std::string_view kBom = "\xEF\xBB\xBF";
        std::string_view body = bytes;
        if (body.substr(0, kBom.size()) == kBom)
            body.remove_prefix(kBom.size());
        result.utf8Text = ExerciseTextFromFileBytes(body);
    }
    return result;
}

ExerciseRead ReadExerciseFile(const std::filesystem::path& file) {
    ExerciseRead result;
    std::string bytes;
    bool tooLarge = false;
    if (!ReadWholeFile(file, bytes, kMaxExerciseFileBytes, &tooLarge)) {
        result.status = tooLarge ? ExerciseReadStatus::TooLarge : ExerciseReadStatus::CannotRead;
        return result;
    }
    return ReadExerciseBytes(bytes);
}

std::string ReadFailureMessage(const ExerciseRead& read) {
    std::string text(kMsgCannotRead);
    switch (read.status) {
    case ExerciseReadStatus::Ok:
    case ExerciseReadStatus::CannotRead:
        break;
    case ExerciseReadStatus::TooLarge:
        text.append("\nファイルが大きすぎます（");
        text.append(std::to_string(kMaxExerciseFileBytes / (1024 * 1024)));
        text.append(" MB まで読み込めます）。");
        break;
    case ExerciseReadStatus::Binary:
        text.append("\nテキストのファイルではありません（");
        text.append(std::to_string(read.line));
        text.append(" 行目に文字でないデータがあります）。");
        break;
    case ExerciseReadStatus::NotCp932:
        text.append("\n");
        text.append(std::to_string(read.line));
        text.append(" 行目に Shift-JIS の文字として読めないデータがあります。");
        break;
    }
    return text;
}

bool WriteExerciseFile(const std::filesystem::path& file, const Cp932Text& editorText,
                       std::string* reason) {
    return AtomicWriteFile(file, ExerciseFileBytes(editorText.bytes()), reason);
}

bool WriteJavaFile(const std::filesystem::path& file, const Cp932Lines& lines,
                   std::string* reason) {
    return AtomicWriteFile(file, JavaFileBytes(lines), reason);
}

bool JavaFileMatches(const std::filesystem::path& file, const Cp932Lines& lines) {
    const std::string expected = JavaFileBytes(lines);
    std::string bytes;
    // A longer file differs already; it is not read.
    return ReadWholeFile(file, bytes, expected.size()) && bytes == expected;
}

std::string UnwrittenSourceQuestion(std::string_view className) {
    return "表示中のソースは " + std::string(className) +
           ".java にまだ書き出されていません。書き出してからコンパイルしますか？";
}

std::string UncompiledRunQuestion(std::string_view className) {
    const std::string name(className);
    return "表示中のプログラムはまだコンパイルされていません。書き出してコンパイルしてから実行しま"
           "すか？"
           "\n（「いいえ」は前にコンパイルした " +
           name + " を実行します）";
}

} // namespace vellaro
