#pragma once
// A private folder per test, removed afterwards.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace vellaro::testing {

class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "vellaro-settings-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            throw std::runtime_error("mkdtemp failed");
        m_dir = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    static void WriteBytes(const std::filesystem::path& f, const std::string& bytes) {
        std::ofstream out(f, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::string ReadBytes(const std::filesystem::path& f) {
        std::ifstream in(f, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path m_dir;
};

} // namespace vellaro::testing
