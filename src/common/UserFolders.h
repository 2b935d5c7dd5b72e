#pragma once
// The learner's own folders on a desktop that follows the XDG folder rules: the configuration
// folder, which holds the program's system folder, and the documents folder, below which the
// default work folder lies. Plain rules on the values of the platform's variables and on the
// files they name; the platform file reads the variables.
#include <filesystem>
#include <optional>
#include <string_view>

namespace vellaro {

// The learner's configuration folder: the value of XDG_CONFIG_HOME when it is an absolute path,
// otherwise <home>/.config. configHome is nullptr when the variable is unset.
std::filesystem::path ConfigFolder(const char* configHome, const std::filesystem::path& home);

// The documents folder that XDG_DOCUMENTS_DIR names in the text of a user-dirs.dirs file. A value
// is double-quoted, a backslash escapes the character after it, and it is either "$HOME/..."
// (below home; "$HOME" alone is home) or an absolute path; other values are ignored, as are other
// lines. Of several assignments the last one counts, as when the shell reads the file.
std::optional<std::filesystem::path> DocumentsFolderIn(std::string_view userDirs,
                                                       const std::filesystem::path& home);

// True when a folder's path can be kept as PathSrc in the settings file: it has a CP932 form of
// at most 2047 bytes (the longest value the settings file reads back whole).
bool StorableAsWorkFolder(const std::filesystem::path& folder);

// The default work folder: "java source" in a "Vellaro" folder of the documents folder that
// <configFolder>/user-dirs.dirs names. The home folder takes the documents folder's place when the
// file or its entry is missing, the folder does not exist, or the resulting path is not
// storable. Reads one file; creates nothing.
std::filesystem::path DefaultWorkFolderFor(const std::filesystem::path& home,
                                           const std::filesystem::path& configFolder);

} // namespace vellaro
