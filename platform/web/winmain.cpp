// The page's entry: main() runs on a thread of its own (the browser's main thread stays with the
// page), in the play folder the page has restored from the browser's storage, and calls the
// program's WinMain as Windows would, with the page's query as the command line.
#include <emscripten.h>
#include <unistd.h>

#include <string>

#include "platform/cp1251.h"
#include "platform/web/layer.h"

int main() {
    if (::chdir(kvarlo::platform::playFolder) != 0)
        return 1;
    char requested[1024] = {};
    MAIN_THREAD_EM_ASM({ stringToUTF8(kvarloPage.commandLine(), $0, $1); }, requested,
                       sizeof requested);
    std::string commandLine = kvarlo::utf8ToCp1251(requested).value_or(std::string());
    const int status =
        WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
    MAIN_THREAD_EM_ASM({ kvarloPage.ended($0); }, status);
    return status;
}
