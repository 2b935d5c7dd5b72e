#pragma once
// Text crosses between the core (CP932 bytes, UTF-8 paths) and Qt here, and only here.
#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vellaro {

// UTF-8 bytes (the program's fixed texts, command lines, an exception's message) to a Qt
// string, and a Qt string to UTF-8 bytes.
QString FromUtf8(std::string_view utf8);
std::string ToUtf8(const QString& text);
// CP932 bytes to a Qt string; undecodable bytes show as U+FFFD.
QString FromSjis(std::string_view cp932);
// A Qt string to CP932 bytes; nullopt when a character has no CP932 form.
std::optional<std::string> ToSjis(const QString& text);
// The same, with the empty text for a text that CP932 cannot hold: for fields that only ever
// show what the settings file holds (font names, sizes).
std::string ToSjisOrEmpty(const QString& text);
// The text with every U+301C WAVE DASH turned into U+FF5E FULLWIDTH TILDE (see Cp932.h).
QString WithFullwidthTilde(QString text);
QString FromPath(const std::filesystem::path& p);
std::filesystem::path ToPath(const QString& p);

} // namespace vellaro
