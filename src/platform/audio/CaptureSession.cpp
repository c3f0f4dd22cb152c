#include "CaptureSession.h"

#include "AudioDevices.h"
#include "AudioLogging.h"
#include "PulseClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QUuid>

#include <pulse/context.h>
#include <pulse/operation.h>
#include <pulse/stream.h>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvanta {

namespace {

constexpr pa_sample_spec captureSpec{PA_SAMPLE_FLOAT32LE, CaptureSession::sampleRate, 1};

} // namespace

QString CaptureSession::recordingDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString base = !runtime.isEmpty() && QFileInfo(runtime).isDir()
                             ? runtime + QStringLiteral("/orvanta")
                             : QDir::tempPath() + QStringLiteral("/orvanta-%1").arg(::getuid());
    // Private to the user: made 0700, and one that someone else owns or opened up is not used.
    if (::mkdir(QFile::encodeName(base).constData(), 0700) != 0 && errno != EEXIST)
        qCWarning(lcAudio).noquote() << QStringLiteral("Cannot create") << base;
    const QByteArray path = QFile::encodeName(base);
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
        info.st_uid == ::getuid() && (info.st_mode & 077) != 0)
        ::chmod(path.constData(), 0700); // ours, but opened up: close it again
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        qCWarning(lcAudio).noquote() << base << QStringLiteral("is not a private folder");
        return {};
    }
    return base;
}

QString CaptureSession::newTemporaryFile(const QString &prefix) {
    const QString directory = recordingDirectory();
    if (directory.isEmpty())
        return {};
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString path = QDir(directory).filePath(prefix + uuid + QStringLiteral(".m4a"));
    // Made here with mode 0600; the writer then opens the file that exists.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        qCWarning(lcAudio).noquote() << QStringLiteral("Cannot create") << path;
        return {};
    }
    ::close(fd);
    return path;
}

void CaptureSession::removeOrphans(const QStringList &prefixes) {
    const QString directory = recordingDirectory();
    if (directory.isEmpty())
        return;
    QStringList patterns;
    for (const QString &prefix : prefixes)
        patterns.append(prefix + QStringLiteral("*.m4a"));
    const QDir folder(directory);
    for (const QString &name : folder.entryList(patterns, QDir::Files | QDir::Hidden)) {
        qCInfo(lcAudio).noquote() << QStringLiteral("Removing the orphaned recording") << name;
        QFile::remove(folder.filePath(name));
    }
}

std::unique_ptr<CaptureSession>
CaptureSession::begin(const QString &deviceUID, const QString &filePrefix, Handlers handlers) {
    const QString file = newTemporaryFile(filePrefix);
    if (file.isEmpty())
        return nullptr;
    std::unique_ptr<CaptureSession> session(
        new CaptureSession(std::move(handlers), deviceUID, file));
    session->m_thread = std::thread([raw = session.get()] { raw->run(); });
    return session;
}

// The client exists before the thread does, so stop and cancel can always wake its loop.
CaptureSession::CaptureSession(Handlers handlers, QString deviceUID, QString file)
    : m_handlers(std::move(handlers))
    , m_client(std::make_unique<PulseClient>())
    , m_deviceUID(std::move(deviceUID))
    , m_file(std::move(file)) {}

CaptureSession::~CaptureSession() {
    if (m_thread.joinable()) {
        cancel();
        m_thread.join();
    }
    closeStream();
}

bool CaptureSession::openStream() {
    m_stream = pa_stream_new(m_client->context(), "Dictation", &captureSpec, nullptr);
    if (!m_stream) {
        qCWarning(lcAudio) << "Cannot record: no capture stream";
        return false;
    }
    pa_stream_set_read_callback(
        m_stream,
        [](pa_stream *, size_t, void *self) {
            static_cast<CaptureSession *>(self)->readAvailable();
        },
        this);
    // Fragments of one level window keep levels steady and the tail short at stop.
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<uint32_t>(-1);
    buffer.fragsize = levelWindowSamples * sizeof(float);
    const QByteArray source = m_source.toUtf8();
    const bool ready = pa_stream_connect_record(m_stream, source.constData(), &buffer,
                                                PA_STREAM_ADJUST_LATENCY) == 0 &&
                       m_client->runUntil([this] {
                           return pa_stream_get_state(m_stream) != PA_STREAM_CREATING ||
                                  m_request.load() != Request::None;
                       }) &&
                       pa_stream_get_state(m_stream) == PA_STREAM_READY;
    if (!ready && m_request.load() != Request::None) {
        closeStream(); // given up for a stop or cancel
    } else if (!ready) {
        qCWarning(lcAudio).noquote()
            << QStringLiteral("Cannot record from") << m_source << m_client->errorText();
        closeStream();
    }
    return ready;
}

void CaptureSession::closeStream() {
    if (!m_stream)
        return;
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))
        pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

bool CaptureSession::streamIsGood() const {
    return m_stream && PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream));
}

// Each step waits for the server at most its time-out; a stop or cancel ends the set-up after
// the step that runs.
bool CaptureSession::setUp() {
    const auto abandoned = [this] { return m_request.load() != Request::None; };
    if (!m_client->connect()) {
        qCWarning(lcAudio).noquote() << QStringLiteral("Cannot record:") << m_client->errorText();
        return false;
    }
    if (abandoned())
        return false;
    const std::optional<QString> source = AudioDevices::resolve(*m_client, m_deviceUID);
    if (!source) {
        qCWarning(lcAudio) << "Cannot record: the sound server offers no microphone";
        return false;
    }
    m_source = *source;
    // The writer is ready before the stream exists: the first audio can arrive while the
    // stream is still being set up, and it is written at once.
    if (abandoned())
        return false;
    if (!m_writer.open(m_file)) {
        qCWarning(lcAudio).noquote() << QStringLiteral("Cannot record:") << m_writer.errorText();
        return false;
    }
    if (abandoned() || !openStream())
        return false;
    qCInfo(lcAudio).noquote() << QStringLiteral("Recording from") << m_source;
    return true;
}

void CaptureSession::run() {
    if (!setUp()) {
        closeStream();
        m_client->disconnect();
        m_writer.abort();
        QFile::remove(m_file);
        // A stop or cancel that came first expects the end as usual.
        if (m_request.load() != Request::None || !m_handlers.failedToStart)
            post([finished = m_handlers.finished] { finished(std::nullopt); });
        else
            post([failed = m_handlers.failedToStart] { failed(); });
        return;
    }
    m_client->runUntil([this] { return m_request.load() != Request::None || !streamIsGood(); },
                       PulseClient::Clock::time_point::max());
    if (m_request.load() == Request::Stop && streamIsGood())
        drain();
    const bool connectionBroke = !m_client->isConnected();
    const bool serverLost = connectionBroke || !streamIsGood();
    closeStream();
    m_client->disconnect();

    if (m_request.load() == Request::Cancel) {
        m_writer.abort();
        QFile::remove(m_file);
        post([finished = m_handlers.finished] { finished(std::nullopt); });
        return;
    }
    if (serverLost) {
        qCWarning(lcAudio).noquote()
            << QStringLiteral("The recording broke off:")
            << (connectionBroke ? QStringLiteral("the sound server went away")
                                : QStringLiteral("the server ended the input stream"));
        // Stop may still be ahead: wait for it, so the end is reported where it is expected.
        while (m_request.load() == Request::None)
            m_request.wait(Request::None);
    }
    const std::optional<QString> file = finishFile(serverLost);
    if (m_request.load() == Request::Cancel && file)
        QFile::remove(*file);
    post([finished = m_handlers.finished, file] { finished(file); });
}

// What was captured before the stop is still on its way: in the source and in the stream's
// buffer, as long as the stream's latency. It is read and kept, so the last syllable is in
// the file.
void CaptureSession::drain() {
    using namespace std::chrono_literals;
    const auto limit = PulseClient::Clock::now() + 1s;
    if (pa_operation *update = pa_stream_update_timing_info(m_stream, nullptr, nullptr)) {
        m_client->runUntil(
            [update] { return pa_operation_get_state(update) != PA_OPERATION_RUNNING; }, limit);
        pa_operation_unref(update);
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(m_stream, &latency, &negative) != 0 || negative)
        latency = 0;
    const std::size_t wanted = std::size_t(latency * sampleRate / 1000000);
    m_drainedSamples = 0;
    m_draining = true;
    readAvailable();
    // At most the latency and one fragment more, however the server answers.
    const auto deadline =
        std::min(limit, PulseClient::Clock::now() + std::chrono::microseconds(latency) + 100ms);
    m_client->runUntil(
        [this, wanted] {
            return m_drainedSamples >= wanted || !streamIsGood() ||
                   m_request.load() == Request::Cancel;
        },
        deadline);
    m_draining = false;
}

std::optional<QString> CaptureSession::finishFile(bool serverLost) {
    if (serverLost || m_writeFailed || m_request.load() == Request::Cancel) {
        m_writer.abort();
    } else if (!m_writer.finish()) {
        qCWarning(lcAudio).noquote()
            << QStringLiteral("Cannot write the recording:") << m_writer.errorText();
    } else if (m_writer.samplesWritten() == 0) {
        qCWarning(lcAudio) << "No audio arrived from" << m_source;
    } else {
        return m_file;
    }
    QFile::remove(m_file);
    return std::nullopt;
}

void CaptureSession::readAvailable() {
    while (m_stream && pa_stream_readable_size(m_stream) > 0) {
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(m_stream, &data, &bytes) < 0 || bytes == 0)
            return;
        // A hole in the stream (no data pointer) carries nothing to keep.
        if (data)
            consume(static_cast<const float *>(data), bytes / sizeof(float));
        pa_stream_drop(m_stream);
    }
}

void CaptureSession::consume(const float *samples, std::size_t count) {
    if (m_writeFailed || (m_request.load() != Request::None && !m_draining))
        return;
    if (m_draining)
        m_drainedSamples += count;
    if (!m_writer.write(samples, count)) {
        m_writeFailed = true;
        qCWarning(lcAudio).noquote()
            << QStringLiteral("Cannot write the recording:") << m_writer.errorText();
        return;
    }
    m_levels.add(samples, count, [this](float level) {
        post([onLevel = m_handlers.level, level] { onLevel(level); });
    });
}

void CaptureSession::stop() {
    request(Request::Stop);
}

void CaptureSession::cancel() {
    request(Request::Cancel);
}

void CaptureSession::request(Request request) {
    Request expected = Request::None;
    // A cancel may still overtake a stop that is being finished.
    if (!m_request.compare_exchange_strong(expected, request) && request == Request::Cancel)
        m_request.store(Request::Cancel);
    m_request.notify_all();
    m_client->wakeUp();
}

void CaptureSession::post(std::function<void()> task) {
    QMetaObject::invokeMethod(m_handlers.context, std::move(task), Qt::QueuedConnection);
}

} // namespace orvanta
