// WAVE playback over QAudioSink, the information beep, and the shell's "open" over
// QDesktopServices; each with a log that tests read.
#include <strings.h>
#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <cstring>
#include <fstream>
#include <iterator>

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
    return size >= 12 && std::memcmp(header, "RIFF", 4) == 0 &&
           std::memcmp(header + 8, "WAVE", 4) == 0;
}

bool isWaveFile(const std::string& systemPath) {
    std::ifstream in(systemPath, std::ios::binary);
    char header[12];
    return in.read(header, sizeof header) && looksLikeWave(header, sizeof header);
}

// The PCM samples of a RIFF/WAVE image and their format; false for anything else.
bool decodeWave(const QByteArray& bytes, QAudioFormat& format, QByteArray& samples) {
    if (!looksLikeWave(bytes.constData(), static_cast<size_t>(bytes.size())))
        return false;
    auto le16 = [&](qsizetype at) {
        return static_cast<uint16_t>(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
    };
    auto le32 = [&](qsizetype at) {
        return static_cast<uint32_t>(le16(at) | static_cast<uint32_t>(le16(at + 2)) << 16);
    };
    bool haveFormat = false;
    for (qsizetype at = 12; at + 8 <= bytes.size();) {
        const QByteArray id = bytes.mid(at, 4);
        const qsizetype size = le32(at + 4);
        const qsizetype body = at + 8;
        if (size > bytes.size() - body)
            return false;  // a chunk running past the end
        if (id == "fmt " && size >= 16) {
            const uint16_t bits = le16(body + 14);
            if (le16(body) != 1 || (bits != 8 && bits != 16) || le16(body + 2) == 0)
                return false;  // PCM only
            format.setSampleRate(static_cast<int>(le32(body + 4)));
            format.setChannelCount(le16(body + 2));
            format.setSampleFormat(bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            samples = bytes.mid(body, size);
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

// Plays one sound at a time; a new sound replaces the one playing, as with the WINMM calls.
// QAudioSink over the decoded samples rather than QSoundEffect: the latter's sample cache can
// deadlock the process at exit while it is still loading a sound.
class Player : public QObject {
public:
    void play(const QByteArray& samples, const QAudioFormat& format, bool loop) {
        stop();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            return;  // no audio device: silence
        loop_ = loop;
        pcm_ = samples;
        buffer_.setData(pcm_);
        buffer_.open(QIODevice::ReadOnly);
        sink_ = new QAudioSink(device, format, this);
        QObject::connect(sink_, &QAudioSink::stateChanged, this,
                         [this, sink = sink_](QAudio::State state) {
                             if (state != QAudio::IdleState || sink != sink_)
                                 return;
                             if (loop_) {  // start over, outside the sink's own signal
                                 QTimer::singleShot(0, this, [this, sink] {
                                     if (sink != sink_)
                                         return;
                                     sink_->stop();
                                     buffer_.seek(0);
                                     sink_->start(&buffer_);
                                 });
                             }
                         });
        sink_->start(&buffer_);
    }
    void stop() {
        if (sink_ != nullptr) {
            sink_->stop();
            sink_->deleteLater();
            sink_ = nullptr;
        }
        buffer_.close();
    }

private:
    QAudioSink* sink_ = nullptr;
    QBuffer buffer_;
    QByteArray pcm_;
    bool loop_ = false;
};

Player* player = nullptr;

void stopPlayback() {
    if (player != nullptr && onGuiThread())
        player->stop();
}

// Starts the sound when there is somewhere to play it; the caller has checked the image.
void startPlayback(const QByteArray& wave, bool loop) {
    if (!audio().outputEnabled || !haveWidgets() || !onGuiThread())
        return;
    QAudioFormat format;
    QByteArray samples;
    if (!decodeWave(wave, format, samples))
        return;
    if (player == nullptr) {  // lives as long as the application
        player = new Player;
        player->setParent(QCoreApplication::instance());
        QObject::connect(QCoreApplication::instance(), &QObject::destroyed,
                         [] { player = nullptr; });
    }
    player->play(samples, format, loop);
}

QByteArray readWave(const std::string& systemPath) {
    std::ifstream in(systemPath, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool playFile(LPCSTR name, DWORD flags) {
    const std::string systemPath = cp1251ToUtf8(name);
    const QByteArray wave = isWaveFile(systemPath) ? readWave(systemPath) : QByteArray();
    QAudioFormat format;
    QByteArray samples;
    const bool playable = decodeWave(wave, format, samples);
    record({testing::SoundEvent::Kind::File, name, flags, playable});
    if (!playable)
        return false;  // silence: the default sound is never played instead
    startPlayback(wave, (flags & SND_LOOP) != 0);
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
    if (!enabled)
        stopPlayback();
}
std::vector<std::string> shellLog() {
    std::lock_guard lock(audio().mutex);
    return audio().shellLog;
}
void clearShellLog() {
    std::lock_guard lock(audio().mutex);
    audio().shellLog.clear();
}
void setShellAnswer(std::optional<bool> accepted) {
    audio().shellAnswer = accepted;
}

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
        const QByteArray wave =
            resource != nullptr
                ? QByteArray::fromRawData(reinterpret_cast<const char*>(resource->data),
                                          static_cast<qsizetype>(resource->size))
                : QByteArray();
        QAudioFormat format;
        QByteArray samples;
        const bool playable = decodeWave(wave, format, samples);
        record({testing::SoundEvent::Kind::Resource,
                IS_INTRESOURCE(sound) ? "#" + std::to_string(LOWORD(sound)) : sound, flags,
                playable});
        if (!playable)
            return FALSE;
        startPlayback(wave, (flags & SND_LOOP) != 0);
        return TRUE;
    }
    return playFile(sound, flags) ? TRUE : FALSE;
}

BOOL WINAPI MessageBeep(UINT type) {
    record({testing::SoundEvent::Kind::Beep, {}, type, true});
    if (audio().outputEnabled && haveWidgets() && onGuiThread())
        QApplication::beep();
    return TRUE;
}

HINSTANCE WINAPI ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR directory, INT) {
    auto result = [](intptr_t code) { return reinterpret_cast<HINSTANCE>(code); };
    if (file == nullptr || *file == '\0')
        return result(ERROR_FILE_NOT_FOUND);
    {
        std::lock_guard lock(audio().mutex);
        audio().shellLog.emplace_back(file);
    }
    if (verb != nullptr && ::strcasecmp(verb, "open") != 0)
        return result(SE_ERR_NOASSOC);
    if (const auto answer = audio().shellAnswer)
        return result(*answer ? 42 : SE_ERR_NOASSOC);

    // An address with a scheme of two letters or more goes to the browser; anything else is a
    // file ("C:\..." has a one-letter "scheme").
    const QString target = fromAnsi(file);
    const int colon = target.indexOf(QLatin1Char(':'));
    QUrl url;
    if (colon >= 2 && target.left(colon).contains(
                          QRegularExpression(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*$")))) {
        url = QUrl(target, QUrl::StrictMode);
        if (!url.isValid())
            return result(ERROR_FILE_NOT_FOUND);
    } else {
        QFileInfo info(target);
        if (info.isRelative()) {
            const QString base = directory != nullptr && *directory != '\0' ? fromAnsi(directory)
                                                                            : QDir::currentPath();
            info = QFileInfo(QDir(base), target);
        }
        if (!info.exists())
            return result(ERROR_FILE_NOT_FOUND);
        url = QUrl::fromLocalFile(info.absoluteFilePath());
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        return result(SE_ERR_NOASSOC);
    // The desktop's own opener; never a command shell, so no text of ours is ever interpreted.
    return result(QDesktopServices::openUrl(url) ? 42 : SE_ERR_NOASSOC);
}
