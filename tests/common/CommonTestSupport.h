#pragma once
// A folder source pointing into a scratch folder, so that no test of the common functions ever
// reaches the machine's real system folder.
#include <filesystem>
#include <gtest/gtest.h>

#include "Scratch.h"
#include "common/delCommFunc.h"

namespace vellaro::test {

namespace fs = std::filesystem;
using vtest::ReadFile;
using vtest::ScratchFolder;
using vtest::WriteFile;

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
