// The learner's own folders: the configuration folder from XDG_CONFIG_HOME, the documents folder
// from user-dirs.dirs, the default work folder below it, and folders made private on demand.
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "CommonTestSupport.h"
#include "common/AtomicFile.h"
#include "common/UserFolders.h"
#include "common/delCommFunc.h"

namespace vellaro {
namespace {

using test::ScratchFolder;
using test::WriteFile;

const fs::path kHome = "/home/学習者";
const fs::path kWork = fs::path("Vellaro") / "java source";

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

// Sets environment variables for one test and puts the old values back afterwards.
class Environment {
  public:
    ~Environment() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    void set(const std::string& name, const char* value) {
        if (!m_saved.contains(name)) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name.c_str(), value, 1);
        else
            ::unsetenv(name.c_str());
    }

  private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST(ConfigFolder, IsXdgConfigHomeOnlyWhenAbsolute) {
    EXPECT_EQ(ConfigFolder("/srv/conf", kHome), "/srv/conf");
    EXPECT_EQ(ConfigFolder(nullptr, kHome), kHome / ".config");
    EXPECT_EQ(ConfigFolder("", kHome), kHome / ".config");
    EXPECT_EQ(ConfigFolder("conf", kHome), kHome / ".config");
    EXPECT_EQ(ConfigFolder("~/conf", kHome), kHome / ".config");
}

TEST(DocumentsFolderIn, ReadsTheEntryAsTheDesktopWritesIt) {
    const std::string written = "# This file is written by xdg-user-dirs-update\n"
                                "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n"
                                "XDG_DOCUMENTS_DIR=\"$HOME/ドキュメント\"\n"
                                "XDG_MUSIC_DIR=\"$HOME/音楽\"\n";
    EXPECT_EQ(DocumentsFolderIn(written, kHome), kHome / "ドキュメント");
    // CR LF line ends, blanks around "=", an absolute path, escapes, a trailing separator.
    EXPECT_EQ(DocumentsFolderIn("  XDG_DOCUMENTS_DIR = \"/data/my \\\"docs\\\"/\"\r\n", kHome),
              "/data/my \"docs\"");
    // "$HOME" alone (or with a separator) names the home folder itself.
    EXPECT_EQ(DocumentsFolderIn("XDG_DOCUMENTS_DIR=\"$HOME\"", kHome), kHome);
    EXPECT_EQ(DocumentsFolderIn("XDG_DOCUMENTS_DIR=\"$HOME/\"", kHome), kHome);
    // The last assignment counts, as when the shell reads the file.
    EXPECT_EQ(
        DocumentsFolderIn("XDG_DOCUMENTS_DIR=\"$HOME/a\"\nXDG_DOCUMENTS_DIR=\"$HOME/b\"\n", kHome),
        kHome / "b");
}

TEST(DocumentsFolderIn, IgnoresWhatItCannotRead) {
    for (const char* text : {
             "", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n", "# XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n",
             "XDG_DOCUMENTS_DIR=$HOME/Docs\n",         // not quoted
             "XDG_DOCUMENTS_DIR=\"$HOME/Docs\n",       // not closed
             "XDG_DOCUMENTS_DIR=\"Docs\"\n",           // relative
             "XDG_DOCUMENTS_DIR=\"$HOMEWORK/Docs\"\n", // another variable
             "XDG_DOCUMENTS_DIRS=\"$HOME/Docs\"\n",    // another name
             "MY_XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n",  // another name
         }) {
        EXPECT_FALSE(DocumentsFolderIn(text, kHome).has_value()) << text;
    }
    // An unreadable line does not hide a good one before it.
    EXPECT_EQ(DocumentsFolderIn("XDG_DOCUMENTS_DIR=\"$HOME/a\"\nXDG_DOCUMENTS_DIR=\"b\"\n", kHome),
              kHome / "a");
}

TEST(DefaultWorkFolderFor, UsesTheDocumentsFolderOnlyWhenItCanBeUsed) {
    ScratchFolder s;
    const fs::path home = s / "home";
    const fs::path config = home / ".config";
    fs::create_directories(config);

    // No user-dirs.dirs: the home folder.
    EXPECT_EQ(DefaultWorkFolderFor(home, config), home / kWork);
    // It names a folder that does not exist: the home folder, and nothing is made.
    WriteFile(config / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/ドキュメント\"\n");
    EXPECT_EQ(DefaultWorkFolderFor(home, config), home / kWork);
    EXPECT_FALSE(fs::exists(home / "ドキュメント"));
    // Once the folder is there, below it.
    fs::create_directory(home / "ドキュメント");
    EXPECT_EQ(DefaultWorkFolderFor(home, config), home / "ドキュメント" / kWork);
    // A name CP932 cannot hold could not be stored in the settings file.
    fs::create_directory(home / "Docs😀");
    WriteFile(config / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Docs😀\"\n");
    EXPECT_EQ(DefaultWorkFolderFor(home, config), home / kWork);
    // Nor a path longer than the settings file keeps.
    fs::path deep = home;
    while (deep.string().size() < 2100)
        deep /= std::string(200, 'd');
    fs::create_directories(deep);
    WriteFile(config / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + deep.string() + "\"\n");
    EXPECT_EQ(DefaultWorkFolderFor(home, config), home / kWork);
    // A folder where the file should be reads as no file.
    fs::remove(config / "user-dirs.dirs");
    fs::create_directory(config / "user-dirs.dirs");
    EXPECT_EQ(DefaultWorkFolderFor(home, config), home / kWork);
}

TEST(StorableAsWorkFolder, NeedsACp932FormOfAtMost2047Bytes) {
    EXPECT_TRUE(StorableAsWorkFolder("/home/学習者/java source"));
    EXPECT_FALSE(StorableAsWorkFolder("/home/😀"));
    // 2047 bytes exactly: "/" and 1023 double-byte characters.
    std::string name = "/";
    for (int i = 0; i < 1023; ++i)
        name += "字";
    EXPECT_TRUE(StorableAsWorkFolder(name));
    EXPECT_FALSE(StorableAsWorkFolder(name + "a"));
}

TEST(SystemFolders, FollowTheLearnersVariables) {
    ScratchFolder s;
    Environment env;
    const fs::path home = s / "home";
    fs::create_directories(home / ".config");
    fs::create_directories(home / "書類");
    WriteFile(home / ".config" / "user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/書類\"\n");
    env.set("HOME", home.c_str());

    env.set("XDG_CONFIG_HOME", nullptr);
    FolderSource f = SystemFolders();
    EXPECT_EQ(f.system, home / ".config" / "vellaro");
    EXPECT_EQ(f.work, home / "書類" / kWork);
    EXPECT_EQ(f.earlierSystem, "/var/lib/vellaro");
    EXPECT_EQ(f.earlierWork, "/opt/vellaro/java source");
    // The real executable's folder: where this test runs.
    EXPECT_EQ(fs::canonical(f.exe), fs::canonical(VELLARO_BUILD_DIR));

    // A relative XDG_CONFIG_HOME is not used.
    env.set("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(SystemFolders().system, home / ".config" / "vellaro");

    // An absolute one holds the system folder and the user-dirs file; without an entry there,
    // the work folder lies below home.
    env.set("XDG_CONFIG_HOME", (s / "conf").c_str());
    f = SystemFolders();
    EXPECT_EQ(f.system, s / "conf" / "vellaro");
    EXPECT_EQ(f.work, home / kWork);

    // Reading the folders makes none.
    EXPECT_FALSE(fs::exists(s / "conf"));
    EXPECT_FALSE(fs::exists(home / ".config" / "vellaro"));
    EXPECT_FALSE(fs::exists(home / "Vellaro"));
}

TEST(MakePrivateFolders, MakesEveryMissingLevelForTheLearnerAlone) {
    ScratchFolder s;
    const mode_t mask = ::umask(0077 ^ 0777); // a careless umask must not widen or empty them
    const fs::path target = s / "one" / "two";
    const bool made = MakePrivateFolders(target);
    ::umask(mask);
    ASSERT_TRUE(made);
    EXPECT_EQ(ModeOf(s / "one"), 0700u);
    EXPECT_EQ(ModeOf(target), 0700u);
    // A folder that is there stays as it is.
    fs::permissions(target, fs::perms(0755));
    EXPECT_TRUE(MakePrivateFolders(target));
    EXPECT_EQ(ModeOf(target), 0755u);
    // A file in the way.
    WriteFile(s / "file", "x");
    EXPECT_FALSE(MakePrivateFolders(s / "file" / "sub"));
    EXPECT_FALSE(MakePrivateFolders(s / "file"));
    EXPECT_FALSE(MakePrivateFolders(""));
}

} // namespace
} // namespace vellaro
