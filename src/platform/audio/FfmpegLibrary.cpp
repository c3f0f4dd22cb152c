#include "FfmpegLibrary.h"

#include "AudioLogging.h"

#include <dlfcn.h>

#include <mutex>

namespace orvanta {

namespace {

#define ORVANTA_SONAME(library, major) "lib" #library ".so." AV_STRINGIFY(major)

struct Loaded {
    FfmpegLibrary functions;
    QString error;
    bool complete = false;
};

// avutil first: the others need it. Handles are kept for the process's lifetime.
bool open(void *handles[3], QString &error) {
    for (int i = 0; i < 3; ++i) {
        handles[i] = dlopen(FfmpegLibrary::sonames[i], RTLD_NOW | RTLD_LOCAL);
        if (!handles[i]) {
            error = QString::fromLocal8Bit(dlerror());
            return false;
        }
    }
    return true;
}

void *find(void *const handles[3], const char *name) {
    for (int i = 0; i < 3; ++i) {
        if (void *symbol = dlsym(handles[i], name))
            return symbol;
    }
    return nullptr;
}

Loaded load() {
    Loaded loaded;
    void *handles[3] = {};
    if (!open(handles, loaded.error))
        return loaded;
#define ORVANTA_FFMPEG_RESOLVE(name)                                                               \
    loaded.functions.name = reinterpret_cast<decltype(&::name)>(find(handles, #name));             \
    if (!loaded.functions.name) {                                                                  \
        loaded.error = QStringLiteral("FFmpeg has no function " #name);                            \
        return loaded;                                                                             \
    }
    ORVANTA_FFMPEG_FUNCTIONS(ORVANTA_FFMPEG_RESOLVE)
#undef ORVANTA_FFMPEG_RESOLVE
    // The encoder's statistics and notes about discarded frames are not worth a log line.
    loaded.functions.av_log_set_level(AV_LOG_ERROR);
    loaded.complete = true;
    return loaded;
}

} // namespace

const char *const FfmpegLibrary::sonames[3] = {
    ORVANTA_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR),
    ORVANTA_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR),
    ORVANTA_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR),
};

const FfmpegLibrary *FfmpegLibrary::get(QString *error) {
    static std::once_flag once;
    static Loaded loaded;
    std::call_once(once, [] {
        loaded = load();
        if (!loaded.complete)
            qCWarning(lcAudio).noquote() << QStringLiteral("Cannot encode audio:") << loaded.error;
    });
    if (!loaded.complete && error)
        *error = loaded.error;
    return loaded.complete ? &loaded.functions : nullptr;
}

} // namespace orvanta
