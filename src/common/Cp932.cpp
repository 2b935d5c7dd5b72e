#include "common/Cp932.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace vellaro {

namespace {

// glibc's "CP932" is the code page with the vendor extensions (～ ① 髙 ...); its "SHIFT_JIS" is
// strict JIS X 0208 and refuses them.
constexpr const char* kCp932Name = "CP932";
constexpr const char* kUtf8Name = "UTF-8";

// One conversion descriptor per direction and thread, opened on first use: opening costs far
// more than a conversion of a settings value.
class Converter {
  public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input. On failure returns false with the byte offset of the first
    // character that could not be converted (invalid, incomplete at the end, or without a form
    // in the target); out then holds what the input before it converted to.
    bool Convert(std::string_view in, std::string& out, std::size_t& failedAt) {
        out.clear();
        failedAt = 0;
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return false;
        ::iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        // UTF-8 never needs more than three bytes per CP932 byte, CP932 never more than one
        // byte per UTF-8 byte; E2BIG below covers anything else.
        out.resize(in.size() * 3 + 4);
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        std::size_t outUsed = 0;
        while (inLeft > 0) {
            char* outPtr = out.data() + outUsed;
            std::size_t outLeft = out.size() - outUsed;
            const std::size_t rc = ::iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            outUsed = static_cast<std::size_t>(outPtr - out.data());
            if (rc != static_cast<std::size_t>(-1))
                break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ (invalid or unrepresentable) or EINVAL (incomplete at the end).
            failedAt = in.size() - inLeft;
            out.resize(outUsed);
            return false;
        }
        out.resize(outUsed);
        return true;
    }

  private:
    iconv_t m_cd;
};

Converter& FromCp932() {
    thread_local Converter c(kUtf8Name, kCp932Name);
    return c;
}

Converter& ToCp932() {
    thread_local Converter c(kCp932Name, kUtf8Name);
    return c;
}

// The table maps nine characters onto codes that decode to other characters: U+00A5 YEN SIGN
// and U+203E OVERLINE onto "\" and "~", and seven onto their full-width look-alikes (U+301C WAVE
// DASH onto ～, U+2212 MINUS SIGN onto －, U+2014 EM DASH onto ―, U+2016 onto ∥, ¢ £ ¬ onto ￠ ￡
// ￢). The file would then hold another character than the text shows, so a character counts as
// having a CP932 form only if its code decodes to it again. Returns the offset of the first
// character that does not.
std::size_t FindChangedCharacter(std::string_view utf8) {
    std::string one;
    std::string back;
    std::size_t dummy = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len =
            std::min(Utf8SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        const std::string_view ch = utf8.substr(i, len);
        if (len > 1 && (!ToCp932().Convert(ch, one, dummy) ||
                        !FromCp932().Convert(one, back, dummy) || back != ch))
            return i;
        i += len;
    }
    return 0;
}

} // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932, CodecFailure* failure) {
    std::string out;
    std::size_t failedAt = 0;
    if (!FromCp932().Convert(cp932, out, failedAt)) {
        if (failure)
            failure->offset = failedAt;
        return std::nullopt;
    }
    return out;
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8, CodecFailure* failure) {
    std::string out;
    std::size_t failedAt = 0;
    if (!ToCp932().Convert(utf8, out, failedAt)) {
        if (failure)
            failure->offset = failedAt;
        return std::nullopt;
    }
    std::string back;
    if (!FromCp932().Convert(out, back, failedAt) || back != utf8) {
        if (failure)
            failure->offset = FindChangedCharacter(utf8);
        return std::nullopt;
    }
    return out;
}

std::string Cp932ToUtf8Lossy(std::string_view cp932) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD
    std::string result;
    std::string part;
    while (!cp932.empty()) {
        std::size_t failedAt = 0;
        if (FromCp932().Convert(cp932, part, failedAt)) {
            result += part;
            break;
        }
        // Keep what decoded before the bad byte, replace that one byte and go on after it, so
        // that a damaged lead byte does not swallow the character that follows it.
        result += part;
        result += kReplacement;
        cp932.remove_prefix(failedAt + 1);
    }
    return result;
}

std::string Sjis(std::string_view utf8) {
    auto out = Utf8ToCp932(utf8);
    if (!out)
        throw std::invalid_argument("fixed text without a CP932 form: " + std::string(utf8));
    return *out;
}

std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

} // namespace vellaro
