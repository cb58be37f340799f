// The Linux entry: Qt's application object first, then the program's WinMain, as Windows would
// call it, with the arguments after the program's name as the command line.
#include <QApplication>
#include <string>

#include "platform/cp1251.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += kvarlo::utf8ToCp1251(argv[i]).value_or("?");
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
