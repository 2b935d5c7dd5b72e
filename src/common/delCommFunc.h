#pragma once
// Common functions shared by every part of the program, and the shared texts.
// None of these functions fails outwards: they answer false, an empty text or 0.
// Paths are std::filesystem::path in the system's encoding (UTF-8 on Linux).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/Cp932Text.h"

namespace vellaro {

namespace fs = std::filesystem;

// The source folder in use.
extern fs::path CurSrcPath;
// The command line last built for compiling or running (UTF-8: it holds paths).
extern std::string ShellCommand;

// The two faces the program's texts are set in (UTF-8). The settings file stores the first as
// the default font; on Linux both stand for IPA Gothic through the font substitutions.
inline constexpr const char* kGothicFace = "ＭＳ ゴシック";
inline constexpr const char* kPGothicFace = "ＭＳ Ｐゴシック";

bool ExistFile(const fs::path& p);
bool ExistFolder(const fs::path& p);
bool MakeFolder(const fs::path& p);
// Drive kinds: 0 not determined, 1 no root folder, 2 removable, 3 fixed disk, 4 network,
// 5 optical disc, 6 RAM disk. On Linux the drive is the mount that holds the path (a missing or
// empty path gives 1); see DriveKindLinux.h.
int DriveKind(const fs::path& p);
// Folder of the running executable, ending in a separator.
fs::path ExePath();
// The system folder, no trailing separator: the learner's own folder that holds the settings file
// and the store of named values. Reading never creates it; the first store does (mode 0700).
fs::path SysPath();
// The learner's default work folder ("java source"), no trailing separator.
fs::path DefaultWorkPath();
// The learner's private temporary folder, ending in a separator (created on demand). A fresh
// folder made because the usual one could not be trusted is removed when the program ends.
fs::path TempPath();
// The single-instance lock "EX_Mutex", at one path per learner that no other user can occupy:
// $XDG_RUNTIME_DIR/vellaro/EX_Mutex when that variable names the learner's own 0700 folder,
// else ~/.cache/vellaro/EX_Mutex-<host name> (a home shared over the network holds one lock per
// machine); never the current folder, never the settings folder. The folders are made (0700)
// as needed. Empty when neither place can be used.
fs::path InstanceLockPath();
// The lock of the one running copy, taken at the path given and held while the object lives. It
// is the system's lock on the open file: it counts as held only while a running copy holds it,
// and the system frees it when that copy ends, however it ends. What the file holds does not
// matter: one left behind by a crash or by any earlier version (empty, garbage, old, written on
// another host) is taken over. The holder writes its process id, name and host into it, so that
// an earlier version started afterwards judges the file by a live process rather than refusing
// to start. No program the learner runs inherits the lock, and a link planted at the name is not
// followed.
class InstanceLock {
  public:
    enum class State {
        Held,           // this copy is the one
        TakenByAnother, // another running copy holds it
        Unavailable,    // no lock could be made there
    };
    explicit InstanceLock(const fs::path& path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    State state() const { return m_state; }

  private:
    int m_handle = -1;
    State m_state = State::Unavailable;
};
void ChangeFolder(const fs::path& p);
std::string IntToText(std::int32_t v);
std::int32_t TextToInt(std::string_view text);
// Digits alone (no blanks, sign or prefix) as a 32-bit integer: hexadecimal digits give the 32
// bits themselves, decimal ones must fit the signed range. nullopt for anything else.
std::optional<std::int32_t> ParseInt32Digits(std::string_view digits, bool hex, bool negative);
void PumpEvents();
void AppTerminate();
// target: a local path (UTF-8) or an address such as "https://...".
void ShellOpen(const std::string& target);
// Named text values (a small store in the system folder, made on the first write). A key that
// cannot be opened or created on writing is silent; a refused write after that throws
// VellaroError("'%s' の設定に失敗しました").
void RegWriteStr(const Cp932Text& key, const Cp932Text& name, const Cp932Text& value);
Cp932Text RegReadStr(const Cp932Text& key, const Cp932Text& name);

// --- Seams ---------------------------------------------------------------------------------

// The folders the program uses. main() installs the real ones; tests install temporary ones.
struct FolderSource {
    fs::path system;   // SysPath, no trailing separator
    fs::path exe;      // ExePath, with or without trailing separator
    fs::path tempWish; // the preferred private temporary folder (TempPath checks and makes it)
    fs::path tempBase; // where a fresh private folder is made with mkdtemp when tempWish is unsafe
    fs::path work;     // DefaultWorkPath
    // The earlier layout, whose settings a learner without settings of their own takes over
    // once: its machine-wide system folder and its default work folder (empty: none).
    fs::path earlierSystem;
    fs::path earlierWork;
    fs::path cache; // the learner's cache folder of the program (made when first needed)
};
// The real folders of the learner who runs the program: $XDG_CONFIG_HOME/vellaro (or
// ~/.config/vellaro), the folder of the real executable, $XDG_RUNTIME_DIR/vellaro or
// /tmp/vellaro-<uid>, "java source" in a "Vellaro" folder of the documents folder (or home), and
// $XDG_CACHE_HOME/vellaro (or ~/.cache/vellaro).
FolderSource SystemFolders();
void SetFolderSource(const FolderSource& source);
const FolderSource& CurrentFolderSource();
// True when the path is a folder (not a link to one) that belongs to the account the program
// runs as.
bool IsOwnFolder(const fs::path& p);

// What only the event loop and the desktop can do. The Qt layer installs the real one.
class EventSeam {
  public:
    virtual ~EventSeam() = default;
    virtual void pumpEvents() = 0;
    virtual void appTerminate() = 0;
    virtual void shellOpen(const std::string& target) = 0;
};
// Not owned; nullptr makes PumpEvents/AppTerminate/ShellOpen do nothing.
void SetEventSeam(EventSeam* seam);

} // namespace vellaro
