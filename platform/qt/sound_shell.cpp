// WAVE playback over QSoundEffect, the information beep, and the shell's "open" over
// QDesktopServices; each with a log that tests read.
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QUrl>
#include <cstring>
#include <fstream>
#include <map>
#include <strings.h>

#include "platform/cp1251.h"
#include "platform/qt/layer.h"
#include "platform/qt/resources.h"
#include "platform/qt/test_seams.h"

namespace kvarlo::platform {

namespace {

struct Audio {
    std::mutex mutex;
    std::vector<testing::SoundEvent> log;
    bool outputEnabled = true;
    std::vector<std::string> shellLog;
    std::optional<bool> shellAnswer;
};

Audio& audio() {
    static auto* a = new Audio;
    return *a;
}

void record(testing::SoundEvent event) {
    std::lock_guard lock(audio().mutex);
    audio().log.push_back(std::move(event));
}

// A RIFF/WAVE file's first twelve bytes.
bool looksLikeWave(const char* header, size_t size) {
    return size >= 12 && std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "WAVE", 4) == 0;
}

bool isWaveFile(const std::string& systemPath) {
    std::ifstream in(systemPath, std::ios::binary);
    char header[12];
    return in.read(header, sizeof header) && looksLikeWave(header, sizeof header);
}

// The one effect that plays; a new sound replaces the one playing, as with the WINMM calls.
QSoundEffect* effect = nullptr;

void stopPlayback() {
    if (effect != nullptr && onGuiThread()) effect->stop();
}

void startPlayback(const QString& systemPath, bool loop) {
    if (!audio().outputEnabled || !haveWidgets() || !onGuiThread()) return;
    if (effect == nullptr) effect = new QSoundEffect(QCoreApplication::instance());
    effect->stop();
    effect->setSource(QUrl::fromLocalFile(systemPath));
    effect->setLoopCount(loop ? QSoundEffect::Infinite : 1);
    effect->play();
}

// QSoundEffect plays files only: a resource is written out once into a private folder.
QString resourceFile(const BinaryResource& resource) {
    static QTemporaryDir* folder = nullptr;
    static std::map<const BinaryResource*, QString> written;
    if (const auto it = written.find(&resource); it != written.end()) return it->second;
    if (folder == nullptr) folder = new QTemporaryDir;
    if (!folder->isValid()) return {};
    const QString path = folder->filePath(QString::number(written.size()) + QStringLiteral(".wav"));
    std::ofstream out(path.toStdString(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(resource.data), resource.size);
    if (!out) return {};
    written[&resource] = path;
    return path;
}

bool playFile(LPCSTR name, DWORD flags) {
    const std::string systemPath = cp1251ToUtf8(name);
    const bool playable = isWaveFile(systemPath);
    record({testing::SoundEvent::Kind::File, name, flags, playable});
    if (!playable) return false;  // silence: the default sound is never played instead
    startPlayback(QString::fromStdString(systemPath), (flags & SND_LOOP) != 0);
    return true;
}

}  // namespace

namespace testing {

std::vector<SoundEvent> soundLog() {
    std::lock_guard lock(audio().mutex);
    return audio().log;
}
void clearSoundLog() {
    std::lock_guard lock(audio().mutex);
    audio().log.clear();
}
void setAudioOutputEnabled(bool enabled) {
    audio().outputEnabled = enabled;
    if (!enabled) stopPlayback();
}
std::vector<std::string> shellLog() {
    std::lock_guard lock(audio().mutex);
    return audio().shellLog;
}
void clearShellLog() {
    std::lock_guard lock(audio().mutex);
    audio().shellLog.clear();
}
void setShellAnswer(std::optional<bool> accepted) { audio().shellAnswer = accepted; }

}  // namespace testing

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

BOOL WINAPI sndPlaySoundA(LPCSTR sound, UINT flags) {
    if (sound == nullptr) {
        record({testing::SoundEvent::Kind::Stop, {}, flags, false});
        stopPlayback();
        return TRUE;
    }
    return playFile(sound, flags) ? TRUE : FALSE;
}

BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
    if (sound == nullptr) {
        record({testing::SoundEvent::Kind::Stop, {}, flags, false});
        stopPlayback();
        return TRUE;
    }
    if ((flags & SND_RESOURCE) == SND_RESOURCE) {
        const BinaryResource* resource = module != nullptr ? findBinary("WAVE", sound) : nullptr;
        const bool playable = resource != nullptr && looksLikeWave(reinterpret_cast<const char*>(resource->data), resource->size);
        record({testing::SoundEvent::Kind::Resource, IS_INTRESOURCE(sound) ? "#" + std::to_string(LOWORD(sound)) : sound,
                flags, playable});
        if (!playable) return FALSE;
        const QString path = resourceFile(*resource);
        if (!path.isEmpty()) startPlayback(path, (flags & SND_LOOP) != 0);
        return TRUE;
    }
    return playFile(sound, flags) ? TRUE : FALSE;
}

BOOL WINAPI MessageBeep(UINT type) {
    record({testing::SoundEvent::Kind::Beep, {}, type, true});
    if (audio().outputEnabled && haveWidgets() && onGuiThread()) QApplication::beep();
    return TRUE;
}

HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR directory, INT) {
    auto result = [](intptr_t code) { return reinterpret_cast<HINSTANCE>(code); };
    if (file == nullptr || *file == '\0') return result(ERROR_FILE_NOT_FOUND);
    {
        std::lock_guard lock(audio().mutex);
        audio().shellLog.emplace_back(file);
    }
    if (verb != nullptr && ::strcasecmp(verb, "open") != 0) return result(SE_ERR_NOASSOC);
    if (const auto answer = audio().shellAnswer) return result(*answer ? 42 : SE_ERR_NOASSOC);

    // An address with a scheme of two letters or more goes to the browser; anything else is a
    // file ("C:\..." has a one-letter "scheme").
    const QString target = fromAnsi(file);
    const int colon = target.indexOf(QLatin1Char(':'));
    QUrl url;
    if (colon >= 2 && target.left(colon).contains(QRegularExpression(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*$")))) {
        url = QUrl(target, QUrl::StrictMode);
        if (!url.isValid()) return result(ERROR_FILE_NOT_FOUND);
    } else {
        QFileInfo info(target);
        if (info.isRelative()) {
            const QString base = directory != nullptr && *directory != '\0' ? fromAnsi(directory) : QDir::currentPath();
            info = QFileInfo(QDir(base), target);
        }
        if (!info.exists()) return result(ERROR_FILE_NOT_FOUND);
        url = QUrl::fromLocalFile(info.absoluteFilePath());
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return result(SE_ERR_NOASSOC);
    // The desktop's own opener; never a command shell, so no text of ours is ever interpreted.
    return result(QDesktopServices::openUrl(url) ? 42 : SE_ERR_NOASSOC);
}
