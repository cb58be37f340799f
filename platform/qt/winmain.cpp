// The Linux entry: Qt's application object first, then the program's WinMain, as Windows would
// call it, with the arguments after the program's name as the command line.
#include <QApplication>
#include <string>

#include "platform/cp1251.h"
#include "platform/qt/layer.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kvarlo::platform::adoptDesktopLocale();
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        const std::string argument = kvarlo::utf8ToCp1251(argv[i]).value_or("?");
        // Quoted as Windows would pass a path with spaces, so the program reads it whole.
        const bool quote = argument.find(' ') != std::string::npos;
        commandLine += quote ? '"' + argument + '"' : argument;
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
