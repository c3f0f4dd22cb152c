#include "CaptureSession.h"

#include "AudioDevices.h"
#include "AudioLogging.h"
#include "PulseClient.h"

#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <QUuid>

#include <pulse/context.h>
#include <pulse/stream.h>

namespace orvanta {

namespace {

constexpr pa_sample_spec captureSpec{PA_SAMPLE_FLOAT32LE, CaptureSession::sampleRate, 1};

} // namespace

QString CaptureSession::newTemporaryFile(const QString &prefix) {
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return QDir(QDir::tempPath()).filePath(prefix + uuid + QStringLiteral(".m4a"));
}

std::unique_ptr<CaptureSession>
CaptureSession::begin(const QString &deviceUID, const QString &filePrefix, Handlers handlers) {
    auto client = std::make_unique<PulseClient>();
    if (!client->connect()) {
        qCWarning(lcAudio).noquote() << QStringLiteral("Cannot record:") << client->errorText();
        return nullptr;
    }
    const std::optional<QString> source = AudioDevices::resolve(*client, deviceUID);
    if (!source) {
        qCWarning(lcAudio) << "Cannot record: the sound server offers no microphone";
        return nullptr;
    }
    std::unique_ptr<CaptureSession> session(new CaptureSession(
        std::move(handlers), std::move(client), *source, newTemporaryFile(filePrefix)));
    if (!session->openStream())
        return nullptr;
    if (!session->m_writer.open(session->m_file)) {
        qCWarning(lcAudio).noquote()
            << QStringLiteral("Cannot record:") << session->m_writer.errorText();
        session->closeStream();
        QFile::remove(session->m_file);
        return nullptr;
    }
    session->m_thread = std::thread([raw = session.get()] { raw->run(); });
    return session;
}

CaptureSession::CaptureSession(Handlers handlers, std::unique_ptr<PulseClient> client,
                               QString source, QString file)
    : m_handlers(std::move(handlers))
    , m_client(std::move(client))
    , m_source(std::move(source))
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
                           return pa_stream_get_state(m_stream) != PA_STREAM_CREATING;
                       }) &&
                       pa_stream_get_state(m_stream) == PA_STREAM_READY;
    if (!ready) {
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

void CaptureSession::run() {
    m_client->runUntil([this] { return m_request.load() != Request::None || !streamIsGood(); },
                       PulseClient::Clock::time_point::max());
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
    if (m_writeFailed || m_request.load() != Request::None)
        return;
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
