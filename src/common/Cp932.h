#pragma once
// The one place where CP932 text (file contents, settings values) meets UTF-8 (paths, Qt).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Cp932Text.h"

namespace vellaro {

struct CodecFailure {
    std::size_t offset = 0; // byte offset in the input of the first character that failed
};

// To UTF-8. nullopt when the input holds a byte sequence that is not CP932.
std::optional<std::string> Cp932ToUtf8(const Cp932Text& cp932, CodecFailure* failure = nullptr);
// From UTF-8. nullopt when a character has no CP932 form (or the input is not UTF-8);
// nothing is ever replaced silently: a character whose code would read back as another one (the
// table's look-alikes, U+301C among them) counts as having no form.
std::optional<Cp932Text> Utf8ToCp932(std::string_view utf8, CodecFailure* failure = nullptr);
// For showing bytes that may be damaged: undecodable bytes become U+FFFD.
std::string Cp932ToUtf8Lossy(const Cp932Text& cp932);
// How many bytes the UTF-8 character that starts with this byte takes; 1 for a byte that cannot
// start one, so a scan over damaged text still moves on.
std::size_t Utf8SequenceLength(unsigned char lead);
// Linux input methods type U+301C WAVE DASH for "から" where the desktops this code page comes
// from type U+FF5E FULLWIDTH TILDE, the one CP932 holds. Where the learner types text, the wave
// dash is taken as the tilde, openly (the text shows the tilde); the codec itself refuses it.
inline constexpr char32_t kWaveDash = 0x301C;
inline constexpr char32_t kFullwidthTilde = 0xFF5E;
// For fixed texts written in the source as UTF-8 that are known to have a CP932 form.
Cp932Text Sjis(std::string_view utf8);
Cp932Lines SjisLines(const std::vector<std::string>& utf8);

} // namespace vellaro
