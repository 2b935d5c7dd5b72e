// The Linux side of the CP932 codec: glibc's iconv.
#ifndef _WIN32

#include <cerrno>
#include <iconv.h>

#include "common/Platform.h"

namespace vellaro::platform {
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

} // namespace

bool SystemCp932ToUtf8(std::string_view cp932, std::string& out, std::size_t& failedAt) {
    thread_local Converter fromCp932(kUtf8Name, kCp932Name);
    return fromCp932.Convert(cp932, out, failedAt);
}

bool SystemUtf8ToCp932(std::string_view utf8, std::string& out, std::size_t& failedAt) {
    thread_local Converter toCp932(kCp932Name, kUtf8Name);
    return toCp932.Convert(utf8, out, failedAt);
}

} // namespace vellaro::platform

#endif // !_WIN32
