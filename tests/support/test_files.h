// Files for tests: a folder of the running test's own, whole-file reads and writes, and running
// kvarlo-cli in such a folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "board/fixed_array.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kvarlo::testing {

namespace fs = std::filesystem;

// A fresh folder named after the running test (and this process), removed when it goes; while
// it lives it can also be the current folder.
class TestFolder {
public:
    explicit TestFolder(const std::string& prefix, bool makeCurrent = false)
        : previous_(fs::current_path()) {
        path_ = fs::temp_directory_path() /
                (prefix + "-" + std::to_string(processId()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
        if (makeCurrent) {
            fs::current_path(path_);
        }
    }
    ~TestFolder() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::remove_all(path_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    static long processId() {
#ifdef _WIN32
        return 0;
#else
        return static_cast<long>(getpid());
#endif
    }

    fs::path previous_;
    fs::path path_;
};

inline std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> bytesOf(const FixedArray<uint8_t>& image) {
    return std::vector<uint8_t>(image.data(), image.data() + image.count());
}

#ifndef _WIN32
struct CliOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs kvarlo-cli with these arguments (single-quoted for the shell) in `folder`, and gives its
// exit status and what it wrote to stdout and stderr.
inline CliOutcome runCli(const fs::path& folder, const std::string& cli,
                         const std::vector<std::string>& args) {
    const fs::path out = folder / ".stdout";
    const fs::path err = folder / ".stderr";
    std::string command = "cd '" + folder.string() + "' && '" + cli + "'";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";
    }
    command += " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int raw = std::system(command.c_str());
    CliOutcome result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(out), readText(err)};
    fs::remove(out);
    fs::remove(err);
    return result;
}
#endif

}  // namespace kvarlo::testing
