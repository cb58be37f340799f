// The GUI entry point.
#include "shell/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
    return kvarlo::runProgram(instance, show, commandLine);
}
