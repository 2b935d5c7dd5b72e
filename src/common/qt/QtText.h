#pragma once
// Text crosses between the core (CP932 text, UTF-8 text and paths) and Qt here, and only here.
#include <QString>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/Cp932Text.h"

namespace vellaro {

// UTF-8 bytes (the program's fixed texts, command lines, an exception's message) to a Qt
// string, and a Qt string to UTF-8 bytes.
QString FromUtf8(std::string_view utf8);
std::string ToUtf8(const QString& text);
// Undecodable bytes show as U+FFFD.
QString FromSjis(const Cp932Text& text);
// nullopt when a character has no CP932 form.
std::optional<Cp932Text> ToSjis(const QString& text);
// The same, with the empty text for a text that CP932 cannot hold: for fields that only ever
// show what the settings file holds (font names, sizes).
Cp932Text ToSjisOrEmpty(const QString& text);
// The same, with "?" for each character that CP932 cannot hold: for text already on screen that
// came from elsewhere (a damaged line shown as U+FFFD, a program's own output).
Cp932Text ToSjisReplacing(const QString& text);
// The text with every U+301C WAVE DASH turned into U+FF5E FULLWIDTH TILDE (see Cp932.h).
QString WithFullwidthTilde(QString text);
QString FromPath(const std::filesystem::path& p);
std::filesystem::path ToPath(const QString& p);

} // namespace vellaro
