#pragma once
// A private scratch folder per test, and a folder source pointing into it, so that no test of the
// common functions ever reaches the machine's real system folder.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <system_error>

#include "common/delCommFunc.h"

namespace vellaro::test {

namespace fs = std::filesystem;

class ScratchFolder {
  public:
    ScratchFolder() {
        std::string templ = (fs::temp_directory_path() / "vellaro-test-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = templ;
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return m_path; }
    fs::path operator/(const fs::path& rel) const { return m_path / rel; }

  private:
    fs::path m_path;
};

// Every folder of the program inside one scratch folder; the system folder exists, empty.
class FolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(scratch / "system");
        fs::create_directories(scratch / "exe");
        fs::create_directories(scratch / "base");
        source.system = scratch / "system";
        source.exe = scratch / "exe";
        source.tempWish = scratch / "base" / "vellaro-wish";
        source.tempBase = scratch / "base";
        SetFolderSource(source);
    }
    ScratchFolder scratch;
    FolderSource source;
};

} // namespace vellaro::test
