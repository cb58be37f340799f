// The resource compiler: the script language it understands, and clear failures for what it
// does not.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

class ResourceCompiler : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("kvarlo-rc-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        std::ofstream(folder / "ids.h")
            << "#define IDS_HELLO 7\n#define IDM_GO 40001\n#define IDR_MAIN 3\n";
    }
    void TearDown() override { fs::remove_all(folder); }

    // Compiles a script; the generated C++ on success, nothing (and the message) on failure.
    bool compile(const std::string& script, std::string& output) {
        std::ofstream(folder / "test.rc") << script;
        const std::string command =
            std::string(RESOURCE_COMPILER) + " " + (folder / "test.rc").string() + " " +
            (folder / "out.cpp").string() + " 2> " + (folder / "errors.txt").string();
        const bool ok = std::system(command.c_str()) == 0;
        std::ifstream in(folder / (ok ? "out.cpp" : "errors.txt"));
        output.assign(std::istreambuf_iterator<char>(in), {});
        return ok;
    }
    fs::path folder;
};

TEST_F(ResourceCompiler, TranslatesTheScriptIntoTablesWith1251Texts) {
    std::string out;
    ASSERT_TRUE(compile(
        "#pragma code_page(65001)\n#include \"ids.h\"\nLANGUAGE LANG_RUSSIAN, SUBLANG_DEFAULT\n"
        "STRINGTABLE\nBEGIN\n  IDS_HELLO \"Привет, \"\"мир\"\"\"\nEND\n"
        "IDR_MAIN MENU\nBEGIN\n POPUP \"&Да\"\n BEGIN\n  MENUITEM \"&Go\", IDM_GO\n  MENUITEM "
        "SEPARATOR\n END\nEND\n"
        "IDR_MAIN ACCELERATORS\nBEGIN\n \"?\", IDM_GO, ASCII, ALT\n VK_F1, IDM_GO, VIRTKEY, "
        "CONTROL\nEND\n",
        out))
        << out;
    // "Привет" in 1251 as octal escapes, the doubled quotes as one.
    EXPECT_NE(out.find("{7u, \"\\317\\360\\350\\342\\345\\362, \\042\\354\\350\\360\\042\"}"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("{MenuEntryKind::Item, 40001u, \"&Go\"}"), std::string::npos);
    EXPECT_NE(out.find("{MenuEntryKind::Separator, 0u, nullptr}"), std::string::npos);
    EXPECT_NE(out.find("{16, 63, 40001}"), std::string::npos);    // Alt, '?'
    EXPECT_NE(out.find("{137, 112, 40001}"), std::string::npos);  // virtual key, Ctrl, last entry
    EXPECT_NE(out.find("0x419u"), std::string::npos);
}

TEST_F(ResourceCompiler, RefusesWhatItDoesNotUnderstandWithTheLine) {
    std::string message;
    EXPECT_FALSE(compile("STRINGTABLE\nBEGIN\n  IDS_UNKNOWN \"x\"\nEND\n", message));
    EXPECT_NE(message.find("line 3"), std::string::npos) << message;
    EXPECT_NE(message.find("IDS_UNKNOWN"), std::string::npos) << message;
    EXPECT_FALSE(compile("STRINGTABLE\nBEGIN\n  1 \"open\nEND\n", message));
    EXPECT_NE(message.find("string"), std::string::npos) << message;
    EXPECT_FALSE(compile("STRINGTABLE\nBEGIN\n  1 \"中文\"\nEND\n", message));  // not in 1251
    EXPECT_NE(message.find("1251"), std::string::npos) << message;
    EXPECT_FALSE(compile("X ICON \"missing.ico\"\n", message));
    EXPECT_NE(message.find("missing.ico"), std::string::npos) << message;
    EXPECT_FALSE(compile("1 DIALOG 0, 0, 10, 10\nBEGIN\n  LISTBOX 1, 0, 0, 5, 5\nEND\n", message));
    EXPECT_NE(message.find("LISTBOX"), std::string::npos) << message;
    // A block the script leaves open, and a number no long holds.
    EXPECT_FALSE(compile("STRINGTABLE\nBEGIN\n  1 \"a\"\n", message));
    EXPECT_NE(message.find("expected END"), std::string::npos) << message;
    EXPECT_FALSE(compile("1 DIALOG 0, 0, 99999999999999999999, 10\nBEGIN\nEND\n", message));
    EXPECT_NE(message.find("line 1: number out of range"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(folder / "out.cpp"));  // nothing half-written
}

}  // namespace
