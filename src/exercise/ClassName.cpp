#include "exercise/ClassName.h"

#include <algorithm>
#include <system_error>

#include "exercise/JavaStandardNames.h"

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

bool IsJavaStandardClassName(std::string_view name) {
    const auto& names = JavaStandardNames();
    return std::binary_search(names.begin(), names.end(), name);
}

std::string StandardClassNameMessage(std::string_view name) {
    return "「" + std::string(name) +
           "」は Java の標準クラスの名前です。別のクラス名を付けて下さい";
}

std::vector<std::filesystem::path> ShadowingFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::filesystem::path name = it->path().filename();
        const std::string ext = name.extension().string();
        if ((ext == ".java" || ext == ".class") && IsJavaStandardClassName(name.stem().string()))
            found.push_back(it->path());
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.filename() < b.filename(); });
    return found;
}

std::string ShadowingFilesMessage(const std::vector<std::filesystem::path>& files) {
    if (files.empty())
        return {};
    std::string names;
    for (const auto& file : files) {
        if (!names.empty())
            names += "、";
        names += file.filename().string();
    }
    return "作業フォルダの " + names +
           " は Java の標準クラスを隠しています。ほかの演習が正しくコンパイル・実行できないので、"
           "これらのファイルを削除して下さい。";
}

std::string ExtractNameStem(const std::filesystem::path& file) {
    // filename() knows the separators of the platform (and drive names where there are any).
    const std::string name = file.filename().string();
    return name.substr(0, name.find('.'));
}

} // namespace vellaro
