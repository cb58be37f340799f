// The play folder in the browser's storage, and saves offered as downloads: a file a save
// dialog named is watched until the program has written it, then the page downloads it under
// its name and the folder is written back to the browser's storage.
#include <emscripten.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>

#include "platform/web/layer.h"

namespace kvarlo::platform {

namespace {

struct SaveTarget {
    std::string path;  // UTF-8
    bool existed = false;
    struct timespec modified {};
    off_t size = 0;
};

std::mutex targetsMutex;
std::vector<SaveTarget>& targets() {
    static auto* list = new std::vector<SaveTarget>;
    return *list;
}

SaveTarget describe(const std::string& path) {
    SaveTarget target{path, false, {}, 0};
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        target.existed = true;
        target.modified = info.st_mtim;
        target.size = info.st_size;
    }
    return target;
}

bool changed(const SaveTarget& before, const SaveTarget& now) {
    return now.existed && (!before.existed || now.size != before.size ||
                           now.modified.tv_sec != before.modified.tv_sec ||
                           now.modified.tv_nsec != before.modified.tv_nsec);
}

}  // namespace

void persistPlayFolder() {
    MAIN_THREAD_ASYNC_EM_ASM({ kvarloPage.persist(); });
}

void offerDownload(const std::string& utf8Path) {
    MAIN_THREAD_EM_ASM({ kvarloPage.download(UTF8ToString($0)); }, utf8Path.c_str());
}

void noteSaveTarget(const std::string& utf8Path) {
    std::lock_guard lock(targetsMutex);
    targets().push_back(describe(utf8Path));
}

// Called when the program's thread has nothing to do: its saves are complete by then.
void deliverFinishedSaves() {
    std::vector<std::string> finished;
    {
        std::lock_guard lock(targetsMutex);
        auto& list = targets();
        for (auto it = list.begin(); it != list.end();) {
            if (changed(*it, describe(it->path))) {
                finished.push_back(it->path);
                it = list.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const std::string& path : finished)
        offerDownload(path);
    if (!finished.empty())
        persistPlayFolder();
}

}  // namespace kvarlo::platform
