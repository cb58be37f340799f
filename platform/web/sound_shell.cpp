// Sounds through the page's WebAudio (which browsers allow after the first click), the beep,
// and the shell's "open" as a new tab.
#include <emscripten.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/core/resources.h"
#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

// A RIFF/WAVE image with its format chunk saying PCM.
bool isPcmWave(const unsigned char* data, size_t size) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return false;
    for (size_t at = 12; at + 8 <= size;) {
        uint32_t length;
        std::memcpy(&length, data + at + 4, 4);
        if (std::memcmp(data + at, "fmt ", 4) == 0)
            return length >= 2 && at + 10 <= size && data[at + 8] == 1 && data[at + 9] == 0;
        at += 8 + length + (length & 1);
    }
    return false;
}

bool play(const unsigned char* data, size_t size, bool loop) {
    if (!isPcmWave(data, size))
        return false;
    MAIN_THREAD_EM_ASM({ kvarloPage.playSound(HEAPU8.slice($0, $0 + $1), !!$2); }, data, size,
                       loop ? 1 : 0);
    return true;
}

void stopPlayback() {
    MAIN_THREAD_EM_ASM({ kvarloPage.stopSound(); });
}

bool playFile(LPCSTR name, UINT flags) {
    std::ifstream in(toUtf8(name), std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                           std::istreambuf_iterator<char>()};
    return play(bytes.data(), bytes.size(), (flags & SND_LOOP) != 0);
}

}  // namespace

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr) {
        stopPlayback();
        return TRUE;
    }
    return playFile(sound, flags) ? TRUE : FALSE;
}

BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
    if (sound == nullptr) {
        stopPlayback();
        return TRUE;
    }
    if ((flags & SND_RESOURCE) == SND_RESOURCE) {
        const BinaryResource* resource = module != nullptr ? findBinary("WAVE", sound) : nullptr;
        return resource != nullptr && play(resource->data, resource->size, (flags & SND_LOOP) != 0)
                   ? TRUE
                   : FALSE;
    }
    return playFile(sound, flags) ? TRUE : FALSE;
}

BOOL WINAPI MessageBeep(UINT) {
    MAIN_THREAD_EM_ASM({ kvarloPage.beep(); });
    return TRUE;
}

HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
    auto result = [](intptr_t code) { return reinterpret_cast<HINSTANCE>(code); };
    if (file == nullptr || *file == '\0')
        return result(ERROR_FILE_NOT_FOUND);
    if (verb != nullptr && ::strcasecmp(verb, "open") != 0)
        return result(SE_ERR_NOASSOC);
    // An address goes to a new tab as it is; a file of the program's folder is one of the site's
    // pages; a file of the play folder is shown from its bytes.
    const std::string target = toUtf8(file);
    const bool address = target.find("://") != std::string::npos;
    struct stat info {};
    if (!address && ::stat(target.c_str(), &info) != 0)
        return result(ERROR_FILE_NOT_FOUND);
    const int opened =
        MAIN_THREAD_EM_ASM_INT({ return kvarloPage.openTab(UTF8ToString($0)); }, target.c_str());
    return result(opened ? 42 : SE_ERR_NOASSOC);
}
