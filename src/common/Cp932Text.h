#pragma once
// Text in CP932, the code page of the program's files (exercises, Java sources, the compiler's
// messages, the lesson, the settings file). It is a type of its own so that it cannot be taken
// for UTF-8 text (std::string, std::string_view) by mistake: the codec in Cp932.h is the way
// between the two, QtText.h the way into Qt.

#include <compare>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellaro {

class Cp932Text {
  public:
    Cp932Text() = default;
    // Bytes known to be CP932 (or ASCII, which CP932 shares).
    explicit Cp932Text(std::string bytes) : m_bytes(std::move(bytes)) {}
    explicit Cp932Text(std::string_view bytes) : m_bytes(bytes) {}
    explicit Cp932Text(const char* bytes) : m_bytes(bytes) {}

    const std::string& bytes() const& { return m_bytes; }
    std::string bytes() && { return std::move(m_bytes); }
    bool empty() const { return m_bytes.empty(); }
    std::size_t size() const { return m_bytes.size(); }

    Cp932Text& operator+=(const Cp932Text& more) {
        m_bytes += more.m_bytes;
        return *this;
    }
    friend Cp932Text operator+(Cp932Text a, const Cp932Text& b) { return a += b; }

    friend bool operator==(const Cp932Text&, const Cp932Text&) = default;
    friend std::strong_ordering operator<=>(const Cp932Text& a, const Cp932Text& b) {
        return a.m_bytes <=> b.m_bytes;
    }

  private:
    std::string m_bytes;
};

// Lines of a CP932 text (a capture file, the message pane, the lesson, a Java source).
using Cp932Lines = std::vector<Cp932Text>;

// The bytes as they are, for diagnostics (test failures, logs).
std::ostream& operator<<(std::ostream& out, const Cp932Text& text);

namespace cp932_literals {
// "Vellaro"_cp932: a fixed text in ASCII, which reads the same in CP932. Japanese fixed texts go
// through Sjis() instead, as the source holds them in UTF-8.
inline Cp932Text operator""_cp932(const char* bytes, std::size_t size) {
    return Cp932Text(std::string_view(bytes, size));
}
} // namespace cp932_literals

} // namespace vellaro
