// Files and paths through the API as the program uses them: handles that write and read back,
// the errors it explains, replacing a file, the current folder and the program's own path, and
// names in Windows-1251 whatever the system's code page, while a name 1251 cannot spell is never
// reached through a mangled one.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "conformance/sides.h"
#include "platform/win32.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary one, named by GetTempFileNameA (which made a file
// of that name, so no other test program takes it) and removed with everything in it.
class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(fs::temp_directory_path().string().c_str(), "kvc", 0, name), 0u);
        ASSERT_TRUE(DeleteFileA(name));
        folder = name;
        ASSERT_TRUE(fs::create_directory(folder));
    }
    void TearDown() override { fs::remove_all(folder); }
    // The folder's path is ASCII (the temporary folder's is), so it reads the same in 1251.
    std::string path(const char* name) const { return (folder / name).string(); }
    fs::path folder;
};

HANDLE openForReading(const std::string& name) {
    return CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

bool writeWhole(const std::string& name, const std::string& bytes) {
    HANDLE out = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool wrote =
        WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    return CloseHandle(out) && wrote;
}

// The whole file, or "<none>" when it does not open.
std::string readWhole(const std::string& name) {
    HANDLE in = openForReading(name);
    if (in == INVALID_HANDLE_VALUE)
        return "<none>";
    std::string bytes(GetFileSize(in, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        !ReadFile(in, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        read = 0;
    CloseHandle(in);
    return bytes.substr(0, read);
}

TEST_F(Files, WritesAndReadsBackThroughHandles) {
    const std::string name = path("a.t1a");
    HANDLE out = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(out, "0123456789", 10, &written, nullptr));
    EXPECT_EQ(written, 10u);
    EXPECT_TRUE(FlushFileBuffers(out));
    EXPECT_TRUE(CloseHandle(out));

    HANDLE in = openForReading(name);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(in, nullptr), 10u);
    char buffer[64] = {};
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(in, buffer, sizeof buffer, &read, nullptr));  // at most the size asked
    EXPECT_EQ(std::string(buffer, read), "0123456789");
    EXPECT_TRUE(ReadFile(in, buffer, sizeof buffer, &read, nullptr));  // at the end: nothing
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(CloseHandle(in));

    // CREATE_ALWAYS truncates an existing file.
    ASSERT_TRUE(writeWhole(name, ""));
    EXPECT_EQ(readWhole(name), "");
}

TEST_F(Files, FailuresAreReportedWithErrorCodes) {
    EXPECT_EQ(openForReading(path("missing")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(openForReading(folder.string()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(openForReading(""), INVALID_HANDLE_VALUE);

    HANDLE created =
        CreateFileA(path("new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(created));
    EXPECT_EQ(CreateFileA(path("new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    DWORD count = 7;
    char byte = 0;
    EXPECT_FALSE(ReadFile(nullptr, &byte, 1, &count, nullptr));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(WriteFile(nullptr, &byte, 1, &count, nullptr));
}

TEST_F(Files, MoveFileExReplacesOnlyWhenAsked) {
    ASSERT_TRUE(writeWhole(path("target"), "old"));
    ASSERT_TRUE(writeWhole(path("temp"), "new"));
    EXPECT_FALSE(MoveFileExA(path("temp").c_str(), path("target").c_str(), 0));
    EXPECT_EQ(readWhole(path("target")), "old");
    EXPECT_TRUE(MoveFileExA(path("temp").c_str(), path("target").c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(readWhole(path("target")), "new");
    EXPECT_EQ(readWhole(path("temp")), "<none>");
    EXPECT_TRUE(DeleteFileA(path("target").c_str()));
    EXPECT_FALSE(DeleteFileA(path("target").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, TemporaryNamesAreCreatedSoNoTwoAreTheSame) {
    char first[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(folder.string().c_str(), "kvr", 0, first), 0u);
    EXPECT_EQ(readWhole(first), "");  // made, and empty
    char second[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(folder.string().c_str(), "kvr", 0, second), 0u);
    EXPECT_STRNE(first, second);
    EXPECT_TRUE(fs::equivalent(fs::path(first).parent_path(), folder));
}

TEST_F(Files, TheCurrentFolderFollowsSetCurrentDirectory) {
    char before[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(sizeof before, before), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(folder.string().c_str()));
    char now[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(sizeof now, now);
    EXPECT_EQ(length, std::strlen(now));
    EXPECT_TRUE(fs::equivalent(fs::path(now), folder));
    char tiny[4];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof tiny, tiny), length + 1);  // the size it needs
    // A relative name is found in it.
    ASSERT_TRUE(writeWhole("relative", "here"));
    EXPECT_EQ(readWhole(path("relative")), "here");
    EXPECT_FALSE(SetCurrentDirectoryA(path("absent").c_str()));
    ASSERT_TRUE(SetCurrentDirectoryA(before));
}

TEST_F(Files, TheProgramKnowsItsOwnPath) {
    if (kvarlo::conformance::onBrowserLayer)
        GTEST_SKIP() << "the browser layer names the program /app/kvarlo, the page's read-only "
                        "folder of the manual and the pages it opens, where no program file lies";
    char module[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, std::strlen(module));
    const fs::path program(module);
    EXPECT_TRUE(program.is_absolute());
    EXPECT_EQ(program.stem(), "conformance_test");
    EXPECT_TRUE(fs::exists(program));
    char cut[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, cut, sizeof cut), 5u);  // cut and terminated
    EXPECT_EQ(std::strlen(cut), 4u);
}

// "Фигуры" and "Круг.t1a" in 1251, as the program's strings hold them, and as the file system
// spells them.
const char folderName[] = "\xD4\xE8\xE3\xF3\xF0\xFB";
const char fileName[] = "\xCA\xF0\xF3\xE3.t1a";
const fs::path folderOnDisk(u8"Фигуры");
const fs::path fileOnDisk(u8"Круг.t1a");

// A 1251 name inside the test's folder, as the program passes it to the API.
std::string inside(const fs::path& folder, const std::string& name) {
    return folder.string() + static_cast<char>(fs::path::preferred_separator) + name;
}

TEST_F(Files, CyrillicNamesAreTheRussianNamesOnDisk) {
    fs::create_directory(folder / folderOnDisk);
    const std::string russianFolder = inside(folder, folderName);
    const std::string name =
        inside(folder, std::string(folderName) + static_cast<char>(fs::path::preferred_separator) +
                           fileName);
    ASSERT_TRUE(writeWhole(name, "figure"));
    EXPECT_TRUE(fs::exists(folder / folderOnDisk / fileOnDisk));
    EXPECT_EQ(readWhole(name), "figure");

    char before[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(sizeof before, before), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(russianFolder.c_str()));
    char now[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(sizeof now, now), 0u);
    const std::string current(now);
    ASSERT_GE(current.size(), std::strlen(folderName));
    EXPECT_EQ(current.substr(current.size() - std::strlen(folderName)), folderName);
    EXPECT_EQ(readWhole(fileName), "figure");  // relative to the Russian folder
    ASSERT_TRUE(SetCurrentDirectoryA(before));
}

TEST_F(Files, ANameOutside1251IsNotReachedThroughAMangledOne) {
    // "Jörg.t1a" on disk: 1251 has no ö, and its byte 0xF6 is "ц", which names another file.
    std::ofstream(folder / fs::path(u8"J\u00f6rg.t1a")) << "figure";
    ASSERT_TRUE(fs::exists(folder / fs::path(u8"J\u00f6rg.t1a")));
    EXPECT_EQ(openForReading(inside(folder, "J\xF6rg.t1a")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
