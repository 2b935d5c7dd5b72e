#include "exercise/ClassName.h"

#include <algorithm>

namespace vellaro {

bool IsClassNameChar(char c) {
    return (c >= '0' && c <= '9') || c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAllowedClassName(std::string_view text) {
    return std::all_of(text.begin(), text.end(), IsClassNameChar);
}

bool ApplyClassNameRule(std::string_view fieldText, std::string& accepted) {
    if (!IsAllowedClassName(fieldText))
        return false;
    accepted.assign(fieldText);
    return true;
}

std::string ExtractNameStem(const std::filesystem::path& file) {
    // filename() knows the separators of the platform (and drive names where there are any).
    const std::string name = file.filename().string();
    return name.substr(0, name.find('.'));
}

} // namespace vellaro
