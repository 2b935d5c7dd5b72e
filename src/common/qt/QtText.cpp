#include "common/qt/QtText.h"

#include "common/Cp932.h"

#include <QByteArray>
#include <QList>

namespace vellaro {

QString FromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToUtf8(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

QString FromSjis(const Cp932Text& text) {
    return FromUtf8(Cp932ToUtf8Lossy(text));
}

std::optional<Cp932Text> ToSjis(const QString& text) {
    return Utf8ToCp932(ToUtf8(text));
}

Cp932Text ToSjisOrEmpty(const QString& text) {
    return ToSjis(text).value_or(Cp932Text());
}

Cp932Text ToSjisReplacing(const QString& text) {
    if (auto whole = ToSjis(text))
        return *whole;
    Cp932Text out;
    for (const uint c : text.toUcs4()) {
        const char32_t one32 = c;
        const auto one = ToSjis(QString::fromUcs4(&one32, 1));
        out += one ? *one : Cp932Text("?");
    }
    return out;
}

QString WithFullwidthTilde(QString text) {
    text.replace(QChar{static_cast<char16_t>(kWaveDash)},
                 QChar{static_cast<char16_t>(kFullwidthTilde)});
    return text;
}

// Paths go through u8string so that the same code is right where the native form is UTF-8
// bytes and where it is UTF-16.
QString FromPath(const std::filesystem::path& p) {
    const std::u8string u8 = p.u8string();
    return FromUtf8(std::string_view(reinterpret_cast<const char*>(u8.data()), u8.size()));
}

std::filesystem::path ToPath(const QString& p) {
    const QByteArray utf8 = p.toUtf8();
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()),
                                               static_cast<std::size_t>(utf8.size())));
}

} // namespace vellaro
