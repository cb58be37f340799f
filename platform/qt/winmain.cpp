// The Linux entry: Qt's application object first, then the program's WinMain, as Windows would
// call it.
#include <QApplication>

#include "platform/win32.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
