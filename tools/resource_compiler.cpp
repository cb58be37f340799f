// Compiles the subset of the Windows resource language that shell/kvarlo.rc uses into the C++
// tables of platform/resource_table.h, for the Linux build (windres does this on Windows).
//
// Understood: #include of a header with #define lines (other includes and #pragma are skipped),
// LANGUAGE, STRINGTABLE, MENU (POPUP, MENUITEM, MENUITEM SEPARATOR), ACCELERATORS, ICON,
// BITMAP, DIALOG/DIALOGEX (STYLE, EXSTYLE, CAPTION, FONT; LTEXT, CTEXT, RTEXT, PUSHBUTTON,
// DEFPUSHBUTTON, CONTROL) and user-defined types naming a file (such as WAVE). The script is
// UTF-8; its texts are written out in Windows-1251.
//
// usage: kvarlo-rc <script.rc> <output.cpp>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/cp1251.h"

namespace {

// The first error met, kept by the lexer and the parser: once there is one, they stop reading
// (the lexer yields the end, the parser's loops all end there) and the compiler reports it.
class ErrorState {
public:
    bool ok() const { return !message_; }
    const std::optional<std::string>& message() const { return message_; }
    void report(const std::string& message) {
        if (!message_)
            message_ = message;
    }

private:
    std::optional<std::string> message_;
};

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The Windows names the script may use.
const std::map<std::string, long> builtins = {
    {"LANG_NEUTRAL", 0x00},
    {"LANG_ENGLISH", 0x09},
    {"LANG_RUSSIAN", 0x19},
    {"SUBLANG_NEUTRAL", 0x00},
    {"SUBLANG_DEFAULT", 0x01},
    {"IDOK", 1},
    {"IDCANCEL", 2},
    {"IDC_STATIC", -1},
    {"WS_POPUP", 0x80000000L},
    {"WS_CHILD", 0x40000000L},
    {"WS_VISIBLE", 0x10000000L},
    {"WS_CAPTION", 0x00C00000L},
    {"WS_BORDER", 0x00800000L},
    {"WS_SYSMENU", 0x00080000L},
    {"WS_GROUP", 0x00020000L},
    {"WS_TABSTOP", 0x00010000L},
    {"DS_SETFONT", 0x40},
    {"DS_MODALFRAME", 0x80},
    {"DS_CENTER", 0x0800},
    {"SS_LEFT", 0},
    {"SS_CENTER", 1},
    {"SS_RIGHT", 2},
    {"SS_BITMAP", 0x0E},
    {"SS_NOPREFIX", 0x80},
    {"SS_REALSIZEIMAGE", 0x800},
    {"SS_CENTERIMAGE", 0x200},
    {"BS_PUSHBUTTON", 0},
    {"BS_DEFPUSHBUTTON", 1},
    {"VK_F1", 0x70},
};

// ---- Tokens ----

struct Token {
    enum Kind { Name, Number, String, Punct, End } kind = End;
    std::string text;
    long value = 0;
    int line = 0;
};

class Lexer : public ErrorState {
public:
    Lexer(std::string text, std::string folder)
        : src_(std::move(text)), folder_(std::move(folder)) {}
    std::map<std::string, long> defines;

    std::vector<Token> tokens() {
        std::vector<Token> out;
        for (;;) {
            Token t = next();
            out.push_back(t);
            if (t.kind == Token::End)
                return out;
        }
    }

private:
    Token next() {
        skipSpace();
        Token t;
        t.line = line_;
        if (!ok() || pos_ >= src_.size())
            return t;
        const char c = src_[pos_];
        if (c == '"') {
            t.kind = Token::String;
            ++pos_;
            for (;;) {
                if (pos_ >= src_.size())
                    return fail("unterminated string");
                char ch = src_[pos_++];
                if (ch == '"') {
                    if (pos_ < src_.size() && src_[pos_] == '"') {  // "" is a quote
                        t.text += '"';
                        ++pos_;
                        continue;
                    }
                    break;
                }
                if (ch == '\\' && pos_ < src_.size()) {
                    const char e = src_[pos_++];
                    switch (e) {
                        case 'n':
                            t.text += '\n';
                            break;
                        case 't':
                            t.text += '\t';
                            break;
                        case '\\':
                            t.text += '\\';
                            break;
                        case '"':
                            t.text += '"';
                            break;
                        case 'a':
                            t.text += '\b';
                            break;  // right-aligns menu text, kept as is
                        default:
                            t.text += '\\';
                            t.text += e;
                            break;
                    }
                    continue;
                }
                if (ch == '\n')
                    return fail("line break in a string");
                t.text += ch;
            }
            return t;
        }
        if (std::isdigit(static_cast<unsigned char>(c))) {
            t.kind = Token::Number;
            const char* start = src_.c_str() + pos_;
            char* stop = nullptr;
            errno = 0;
            t.value = std::strtol(start, &stop, 0);
            if (errno == ERANGE)
                return fail("number out of range");
            pos_ += static_cast<size_t>(stop - start);
            while (pos_ < src_.size() && (src_[pos_] == 'L' || src_[pos_] == 'l' ||
                                          src_[pos_] == 'U' || src_[pos_] == 'u'))
                ++pos_;
            return t;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            t.kind = Token::Name;
            while (pos_ < src_.size() &&
                   (std::isalnum(static_cast<unsigned char>(src_[pos_])) || src_[pos_] == '_'))
                t.text += src_[pos_++];
            return t;
        }
        t.kind = Token::Punct;
        t.text = std::string(1, c);
        ++pos_;
        return t;
    }

    void skipSpace() {
        while (pos_ < src_.size()) {
            const char c = src_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
                atLineStart_ = true;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (src_.compare(pos_, 2, "//") == 0) {
                while (pos_ < src_.size() && src_[pos_] != '\n')
                    ++pos_;
            } else if (src_.compare(pos_, 2, "/*") == 0) {
                const auto end = src_.find("*/", pos_ + 2);
                if (end == std::string::npos) {
                    fail("unterminated comment");
                    return;
                }
                for (size_t i = pos_; i < end; ++i)
                    line_ += src_[i] == '\n';
                pos_ = end + 2;
            } else if (c == '#' && atLineStart_) {
                const auto end = src_.find('\n', pos_);
                directive(
                    src_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_));
                pos_ = end == std::string::npos ? src_.size() : end;
            } else {
                atLineStart_ = false;
                return;
            }
        }
    }

    void directive(const std::string& text) {
        std::istringstream in(text.substr(1));
        std::string word;
        in >> word;
        if (word == "include") {
            std::string name;
            in >> name;
            if (name.size() > 2 && name.front() == '"') {
                const std::string path = folder_ + "/" + name.substr(1, name.size() - 2);
                if (const auto text = readFile(path)) {
                    readDefines(*text);
                } else {
                    fail("cannot read " + path);
                }
            }
        } else if (word == "define") {
            readDefines(text);
        } else if (word == "pragma") {
            std::string rest;
            std::getline(in, rest);
            if (rest.find("code_page") != std::string::npos &&
                rest.find("65001") == std::string::npos) {
                fail("only UTF-8 scripts (code_page 65001) are understood");
            }
        }
    }

    void readDefines(const std::string& text) {
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream in(line);
            std::string hash, name, value;
            in >> hash >> name >> value;
            if (hash != "#define" || value.empty())
                continue;
            char* end = nullptr;
            const long number = std::strtol(value.c_str(), &end, 0);
            if (end != value.c_str())
                defines[name] = number;
        }
    }

    // Records the error at the present line; the token stream ends here.
    Token fail(const std::string& what) {
        report("line " + std::to_string(line_) + ": " + what);
        pos_ = src_.size();
        return Token{};
    }

    std::string src_;
    std::string folder_;
    size_t pos_ = 0;
    int line_ = 1;
    bool atLineStart_ = true;
};

// ---- Parsed resources ----

struct Name {
    std::string text;  // empty: numeric
    long id = 0;
};

struct MenuEntry {
    std::string kind;  // Popup, Item, Separator, EndPopup
    long id = 0;
    std::string text;
};

struct Accel {
    int flags;
    long key;
    long command;
};

struct Control {
    std::string className;
    std::string text;
    Name image;
    long id;
    long x, y, cx, cy;
    long style;
};

struct Dialog {
    Name name;
    long style = 0x80000000L | 0x00800000L | 0x00080000L;  // popup, border, system menu
    long exStyle = 0;
    long x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    long fontSize = 0;
    std::string fontName;
    std::vector<Control> controls;
};

struct Binary {
    Name type;
    Name name;
    std::string data;
};

struct Script {
    long language = 0;
    std::vector<std::pair<long, std::string>> strings;
    std::vector<std::pair<Name, std::vector<MenuEntry>>> menus;
    std::vector<std::pair<Name, std::vector<Accel>>> accelerators;
    std::vector<Dialog> dialogs;
    std::vector<Binary> binaries;
};

class Parser : public ErrorState {
public:
    Parser(std::vector<Token> tokens, std::map<std::string, long> defines, std::string folder)
        : t_(std::move(tokens)), defines_(std::move(defines)), folder_(std::move(folder)) {}

    Script parse() {
        while (ok() && peek().kind != Token::End)
            statement();
        return script_;
    }

private:
    const Token& peek(size_t ahead = 0) const { return t_[std::min(i_ + ahead, t_.size() - 1)]; }
    Token take() {
        Token t = peek();
        if (i_ < t_.size() - 1)
            ++i_;
        return t;
    }
    // Records the error where the parser stands and skips to the end of the tokens, so every
    // loop ends and the callers unwind with placeholder values that are never used.
    void fail(const std::string& what) {
        report("line " + std::to_string(peek().line) + ": " + what + " (at '" + peek().text + "')");
        i_ = t_.size() - 1;
    }
    bool isWord(const char* word, size_t ahead = 0) const {
        return peek(ahead).kind == Token::Name && peek(ahead).text == word;
    }
    bool isPunct(const char* p) const { return peek().kind == Token::Punct && peek().text == p; }
    void expectWord(const char* word) {
        if (!isWord(word))
            fail(std::string("expected ") + word);
        take();
    }
    void skipComma() {
        if (isPunct(","))
            take();
    }
    bool begin() {
        if (isWord("BEGIN") || isPunct("{")) {
            take();
            return true;
        }
        return false;
    }
    // The end of a block; also true once an error has ended the tokens.
    bool end() {
        if (isWord("END") || isPunct("}")) {
            take();
            return true;
        }
        if (ok() && peek().kind == Token::End)
            fail("expected END");
        return !ok();
    }
    // BEGIN, or an error.
    void expectBegin() {
        if (!begin())
            fail("expected BEGIN");
    }
    std::string string() {
        if (peek().kind != Token::String) {
            fail("expected a string");
            return {};
        }
        return take().text;
    }
    // A 1251 text from the UTF-8 script.
    std::string text() {
        const std::string utf8 = string();
        const auto ansi = kvarlo::utf8ToCp1251(utf8);
        if (!ansi) {
            fail("text not representable in Windows-1251");
            return {};
        }
        return *ansi;
    }
    // A file the script names, beside the script.
    std::string fileContents() {
        const std::string path = folder_ + "/" + string();
        auto data = readFile(path);
        if (!data) {
            fail("cannot read " + path);
            return {};
        }
        return *data;
    }
    // n numbers separated by commas, such as x, y, cx, cy.
    template <size_t N>
    std::array<long, N> numbers() {
        std::array<long, N> values{};
        for (size_t i = 0; i < N; ++i) {
            if (i > 0)
                skipComma();
            values[i] = expression();
        }
        return values;
    }
    // Trailing ", OPTION" words a statement may carry and the program does not use.
    void skipOptionWords() {
        while (ok() && isPunct(",")) {
            take();
            take();
        }
    }
    // Trailing ", number" arguments a statement may carry and the program does not use.
    void skipOptionNumbers() {
        while (ok() && isPunct(",")) {
            take();
            expression();
        }
    }
    // LANGUAGE primary, sub: the language id.
    long language() {
        const auto [primaryLang, sublang] = numbers<2>();
        return primaryLang | (sublang << 10);
    }

    long primary() {
        if (isPunct("(")) {
            take();
            const long v = expression();
            if (!isPunct(")"))
                fail("expected )");
            take();
            return v;
        }
        if (isPunct("-")) {
            take();
            return -primary();
        }
        if (isWord("NOT")) {
            take();
            return ~primary();
        }
        if (peek().kind == Token::Number)
            return take().value;
        if (peek().kind == Token::Name) {
            const std::string name = take().text;
            if (auto it = defines_.find(name); it != defines_.end())
                return it->second;
            if (auto it = builtins.find(name); it != builtins.end())
                return it->second;
            fail("unknown name " + name);
            return 0;
        }
        fail("expected a number");
        return 0;
    }
    long expression() {
        long v = primary();
        while (ok()) {
            if (isPunct("|")) {
                take();
                v |= primary();
            } else if (isPunct("+")) {
                take();
                v += primary();
            } else {
                return v;
            }
        }
        return v;
    }
    // Style expressions: "NOT x" removes a bit from what is there.
    long styleExpression(long base) {
        long v = base;
        bool first = true;
        while (ok()) {
            if (!first) {
                if (!isPunct("|"))
                    return v;
                take();
            }
            first = false;
            if (isWord("NOT")) {
                take();
                v &= ~primary();
            } else {
                v |= primary();
            }
        }
        return v;
    }
    bool isNumericName(const Token& t) const {
        return t.kind == Token::Number ||
               (t.kind == Token::Name && (defines_.count(t.text) || builtins.count(t.text)));
    }
    Name name() {
        const Token& t = peek();
        if (isNumericName(t))
            return Name{{}, expression()};
        if (t.kind == Token::Name || t.kind == Token::String) {
            std::string s = take().text;
            for (char& c : s)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return Name{s, 0};
        }
        fail("expected a resource name");
        return {};
    }
    void skipOptions() {  // memory options and LANGUAGE/VERSION lines before BEGIN
        while (ok() && peek().kind == Token::Name && !isWord("BEGIN")) {
            if (isWord("LANGUAGE")) {
                take();
                script_.language = language();
            } else {
                take();
            }
        }
    }

    void statement() {
        if (isWord("LANGUAGE")) {
            take();
            script_.language = language();
            return;
        }
        if (isWord("STRINGTABLE")) {
            take();
            skipOptions();
            expectBegin();
            while (!end()) {
                const long id = expression();
                skipComma();
                script_.strings.emplace_back(id, text());
            }
            return;
        }
        const Name resourceName = name();
        if (peek().kind != Token::Name) {
            fail("expected a resource type");
            return;
        }
        const std::string type = take().text;
        if (type == "MENU" || type == "MENUEX") {
            skipOptions();
            std::vector<MenuEntry> entries;
            menuBody(entries);
            script_.menus.emplace_back(resourceName, entries);
        } else if (type == "ACCELERATORS") {
            skipOptions();
            expectBegin();
            std::vector<Accel> entries;
            while (!end())
                entries.push_back(accelerator());
            if (!entries.empty())
                entries.back().flags |= 0x80;  // end of the table
            script_.accelerators.emplace_back(resourceName, entries);
        } else if (type == "DIALOG" || type == "DIALOGEX") {
            dialog(resourceName);
        } else if (type == "ICON") {
            script_.binaries.push_back({Name{{}, 14}, resourceName, fileContents()});
        } else if (type == "BITMAP") {
            const std::string data = fileContents();
            if (ok() && (data.size() < 14 || data.compare(0, 2, "BM") != 0))
                fail("not a BMP file");
            if (ok()) {
                script_.binaries.push_back(
                    {Name{{}, 2}, resourceName, data.substr(14)});  // without the file header
            }
        } else {
            // A user-defined type naming a file, such as WAVE.
            skipOptions();
            script_.binaries.push_back({Name{type, 0}, resourceName, fileContents()});
        }
    }

    void menuBody(std::vector<MenuEntry>& entries) {
        expectBegin();
        while (!end()) {
            if (isWord("POPUP")) {
                take();
                entries.push_back({"Popup", 0, text()});
                skipOptionWords();  // options such as HELP
                menuBody(entries);
                entries.push_back({"EndPopup", 0, {}});
            } else if (isWord("MENUITEM")) {
                take();
                if (isWord("SEPARATOR")) {
                    take();
                    entries.push_back({"Separator", 0, {}});
                    continue;
                }
                MenuEntry item{"Item", 0, text()};
                skipComma();
                item.id = expression();
                skipOptionWords();  // GRAYED, CHECKED...: not used by the program
                entries.push_back(item);
            } else {
                fail("expected POPUP or MENUITEM");
            }
        }
    }

    Accel accelerator() {
        Accel a{0, 0, 0};
        bool virtualKey = false;
        if (peek().kind == Token::String) {
            const std::string key = text();
            if (key.size() == 2 && key[0] == '^') {
                a.key =
                    std::toupper(static_cast<unsigned char>(key[1])) - '@';  // control character
            } else if (key.size() == 1) {
                a.key = static_cast<unsigned char>(key[0]);
            } else {
                fail("an accelerator key is one character");
            }
        } else {
            a.key = expression();
        }
        skipComma();
        a.command = expression();
        while (ok() && isPunct(",")) {
            take();
            const std::string option = take().text;
            if (option == "VIRTKEY")
                virtualKey = true;
            else if (option == "ASCII")
                virtualKey = false;
            else if (option == "ALT")
                a.flags |= 0x10;
            else if (option == "SHIFT")
                a.flags |= 0x04;
            else if (option == "CONTROL")
                a.flags |= 0x08;
            else if (option == "NOINVERT")
                a.flags |= 0x02;
            else
                fail("unknown accelerator option " + option);
        }
        if (virtualKey)
            a.flags |= 0x01;
        return a;
    }

    void dialog(const Name& resourceName) {
        Dialog d;
        d.name = resourceName;
        const auto [x, y, cx, cy] = numbers<4>();
        d.x = x;
        d.y = y;
        d.cx = cx;
        d.cy = cy;
        bool styleGiven = false;
        while (ok() && !begin()) {
            if (isWord("STYLE")) {
                take();
                d.style = styleExpression(0);
                styleGiven = true;
            } else if (isWord("EXSTYLE")) {
                take();
                d.exStyle = expression();
            } else if (isWord("CAPTION")) {
                take();
                d.caption = text();
                if (!styleGiven)
                    d.style |= 0x00C00000L;
            } else if (isWord("FONT")) {
                take();
                d.fontSize = expression();
                skipComma();
                d.fontName = text();
                skipOptionNumbers();  // weight, italic, charset of DIALOGEX
            } else if (isWord("LANGUAGE")) {
                take();
                language();
            } else {
                fail("unexpected dialog option");
            }
        }
        if (d.fontSize != 0)
            d.style |= 0x40;  // DS_SETFONT, as the resource compilers add it
        while (!end())
            d.controls.push_back(control());
        script_.dialogs.push_back(d);
    }

    Control control() {
        constexpr long childVisible = 0x40000000L | 0x10000000L;
        constexpr long group = 0x00020000L, tabStop = 0x00010000L;
        if (peek().kind != Token::Name) {
            fail("expected a control");
            return {};
        }
        const std::string kind = take().text;
        Control c{};
        if (kind == "CONTROL") {
            if (peek().kind == Token::String) {
                c.text = text();
            } else {
                c.image = name();
            }
            skipComma();
            c.id = expression();
            skipComma();
            std::string cls = string();
            for (char& ch : cls)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            c.className = cls;
            skipComma();
            c.style = styleExpression(childVisible);
            skipComma();
            const auto [x, y, cx, cy] = numbers<4>();
            c.x = x;
            c.y = y;
            c.cx = cx;
            c.cy = cy;
            skipOptionNumbers();  // the extended style
            return c;
        }
        long base;
        if (kind == "LTEXT" || kind == "CTEXT" || kind == "RTEXT") {
            c.className = "STATIC";
            base = childVisible | group | (kind == "CTEXT" ? 1 : kind == "RTEXT" ? 2 : 0);
        } else if (kind == "PUSHBUTTON" || kind == "DEFPUSHBUTTON") {
            c.className = "BUTTON";
            base = childVisible | tabStop | (kind == "DEFPUSHBUTTON" ? 1 : 0);
        } else {
            fail("control " + kind + " is not supported");
            return {};
        }
        c.text = text();
        skipComma();
        const auto [id, x, y, cx, cy] = numbers<5>();
        c.id = id;
        c.x = x;
        c.y = y;
        c.cx = cx;
        c.cy = cy;
        c.style = base;
        if (isPunct(",")) {
            take();
            c.style = styleExpression(base);
        }
        if (isPunct(",")) {
            take();
            expression();
        }
        return c;
    }

    std::vector<Token> t_;
    size_t i_ = 0;
    std::map<std::string, long> defines_;
    std::string folder_;
    Script script_;
};

// ---- Output ----

// A C++ literal of 1251 bytes: octal escapes keep every byte as it is, whatever the compiler's
// execution character set.
std::string literal(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\' && c != '?') {
            out += static_cast<char>(c);
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\%03o", c);
            out += buffer;
        }
    }
    return out + "\"";
}

std::string nameInit(const Name& n) {
    if (n.text.empty())
        return "{nullptr, " + std::to_string(n.id) + "u}";
    return "{" + literal(n.text) + ", 0u}";
}

std::string generate(const Script& s, const std::string& source) {
    std::ostringstream out;
    out << "// Generated by kvarlo-rc from " << source << ". Do not edit.\n"
        << "#include \"platform/resource_table.h\"\n\nnamespace kvarlo::platform {\n\nnamespace "
           "{\n\n";
    out << "const StringResource strings[] = {\n";
    for (const auto& [id, text] : s.strings)
        out << "    {" << id << "u, " << literal(text) << "},\n";
    if (s.strings.empty())
        out << "    {0u, nullptr},\n";
    out << "};\n\n";
    for (size_t m = 0; m < s.menus.size(); ++m) {
        out << "const MenuEntry menu" << m << "[] = {\n";
        for (const MenuEntry& e : s.menus[m].second) {
            out << "    {MenuEntryKind::" << e.kind << ", " << e.id << "u, "
                << (e.text.empty() && e.kind != "Item" ? "nullptr" : literal(e.text)) << "},\n";
        }
        out << "};\n";
    }
    out << "const MenuResource menus[] = {\n";
    for (size_t m = 0; m < s.menus.size(); ++m) {
        out << "    {" << nameInit(s.menus[m].first) << ", menu" << m << ", "
            << s.menus[m].second.size() << "u},\n";
    }
    if (s.menus.empty())
        out << "    {{nullptr, 0u}, nullptr, 0u},\n";
    out << "};\n\n";
    for (size_t a = 0; a < s.accelerators.size(); ++a) {
        out << "const ACCEL accelerators" << a << "[] = {\n";
        for (const Accel& e : s.accelerators[a].second)
            out << "    {" << e.flags << ", " << e.key << ", " << e.command << "},\n";
        out << "};\n";
    }
    out << "const AcceleratorResource accelerators[] = {\n";
    for (size_t a = 0; a < s.accelerators.size(); ++a) {
        out << "    {" << nameInit(s.accelerators[a].first) << ", accelerators" << a << ", "
            << s.accelerators[a].second.size() << "u},\n";
    }
    if (s.accelerators.empty())
        out << "    {{nullptr, 0u}, nullptr, 0u},\n";
    out << "};\n\n";
    for (size_t d = 0; d < s.dialogs.size(); ++d) {
        out << "const DialogControl controls" << d << "[] = {\n";
        for (const Control& c : s.dialogs[d].controls) {
            out << "    {" << literal(c.className) << ", " << literal(c.text) << ", "
                << nameInit(c.image) << ", " << c.id << ", " << c.x << ", " << c.y << ", " << c.cx
                << ", " << c.cy << ", 0x" << std::hex
                << static_cast<unsigned long>(c.style & 0xFFFFFFFFL) << std::dec << "u},\n";
        }
        out << "};\n";
    }
    out << "const DialogResource dialogs[] = {\n";
    for (size_t d = 0; d < s.dialogs.size(); ++d) {
        const Dialog& g = s.dialogs[d];
        out << "    {" << nameInit(g.name) << ", 0x" << std::hex
            << static_cast<unsigned long>(g.style & 0xFFFFFFFFL) << "u, 0x"
            << static_cast<unsigned long>(g.exStyle & 0xFFFFFFFFL) << std::dec << "u, " << g.x
            << ", " << g.y << ", " << g.cx << ", " << g.cy << ", " << literal(g.caption) << ", "
            << g.fontSize << ", " << literal(g.fontName) << ", controls" << d << ", "
            << g.controls.size() << "u},\n";
    }
    if (s.dialogs.empty())
        out << "    {{nullptr, 0u}, 0u, 0u, 0, 0, 0, 0, nullptr, 0, nullptr, nullptr, 0u},\n";
    out << "};\n\n";
    for (size_t b = 0; b < s.binaries.size(); ++b) {
        out << "const unsigned char binary" << b << "[] = {";
        const std::string& data = s.binaries[b].data;
        for (size_t i = 0; i < data.size(); ++i) {
            if (i % 24 == 0)
                out << "\n   ";
            out << ' ' << static_cast<unsigned>(static_cast<unsigned char>(data[i])) << ',';
        }
        out << "\n};\n";
    }
    out << "const BinaryResource binaries[] = {\n";
    for (size_t b = 0; b < s.binaries.size(); ++b) {
        out << "    {" << nameInit(s.binaries[b].type) << ", " << nameInit(s.binaries[b].name)
            << ", binary" << b << ", " << s.binaries[b].data.size() << "u},\n";
    }
    if (s.binaries.empty())
        out << "    {{nullptr, 0u}, {nullptr, 0u}, nullptr, 0u},\n";
    out << "};\n\n";
    out << "const ResourceTable table = {\n    0x" << std::hex << s.language << std::dec << "u,\n"
        << "    strings, " << s.strings.size() << "u,\n"
        << "    menus, " << s.menus.size() << "u,\n"
        << "    accelerators, " << s.accelerators.size() << "u,\n"
        << "    dialogs, " << s.dialogs.size() << "u,\n"
        << "    binaries, " << s.binaries.size() << "u,\n};\n\n"
        << "}  // namespace\n\nconst ResourceTable& moduleResources() { return table; }\n\n}  // "
           "namespace kvarlo::platform\n";
    return out.str();
}

// Compiles the script into the output file; the error, if any.
std::optional<std::string> compile(const std::string& script, const std::string& output) {
    const std::string folder = folderOf(script);
    const std::optional<std::string> source = readFile(script);
    if (!source) {
        return "cannot read " + script;
    }
    Lexer lexer(*source, folder);
    std::vector<Token> tokens = lexer.tokens();
    if (!lexer.ok()) {
        return lexer.message();
    }
    Parser parser(std::move(tokens), lexer.defines, folder);
    const Script parsed = parser.parse();
    if (!parser.ok()) {
        return parser.message();
    }
    const std::string code = generate(parsed, script);
    std::ofstream out(output, std::ios::binary);
    out << code;
    if (!out) {
        return "cannot write " + output;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kvarlo-rc <script.rc> <output.cpp>\n");
        return 2;
    }
    const std::optional<std::string> error = compile(argv[1], argv[2]);
    if (error) {
        std::fprintf(stderr, "kvarlo-rc: %s: %s\n", argv[1], error->c_str());
        return 1;
    }
    return 0;
}
