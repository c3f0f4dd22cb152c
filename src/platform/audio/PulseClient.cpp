#include "PulseClient.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/scache.h>
#include <pulse/stream.h>

#include <algorithm>
#include <climits>

namespace orvanta {

namespace {

constexpr const char *clientName = "Talvo";

QString text(const char *value) {
    return value ? QString::fromUtf8(value) : QString();
}

struct SourceListRequest {
    std::vector<PulseSource> sources;
    bool failed = false;
};

void onSourceInfo(pa_context *, const pa_source_info *info, int eol, void *userdata) {
    auto *request = static_cast<SourceListRequest *>(userdata);
    if (eol < 0) {
        request->failed = true;
        return;
    }
    if (eol > 0 || !info)
        return;
    request->sources.push_back(
        {text(info->name), text(info->description), info->monitor_of_sink != PA_INVALID_INDEX});
}

void onServerInfo(pa_context *, const pa_server_info *info, void *userdata) {
    auto *answer = static_cast<std::optional<PulseServerInfo> *>(userdata);
    if (info)
        *answer = PulseServerInfo{text(info->default_sink_name), text(info->default_source_name)};
}

void onSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *userdata) {
    auto *answer = static_cast<std::optional<bool> *>(userdata);
    if (eol == 0 && info)
        *answer = info->mute != 0;
}

void onSuccess(pa_context *, int success, void *userdata) {
    *static_cast<bool *>(userdata) = success != 0;
}

} // namespace

PulseClient::PulseClient(std::chrono::milliseconds timeout)
    : m_timeout(timeout)
    , m_loop(pa_mainloop_new()) {}

PulseClient::~PulseClient() {
    disconnect();
    pa_mainloop_free(m_loop);
}

bool PulseClient::connect() {
    disconnect();
    m_context = pa_context_new(pa_mainloop_get_api(m_loop), clientName);
    if (!m_context) {
        m_error = QStringLiteral("cannot create a sound server connection");
        return false;
    }
    // A dictation tool never starts a sound server of its own.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        setError(QStringLiteral("cannot reach the sound server"));
        return false;
    }
    if (!runUntil([this] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; })) {
        setError(QStringLiteral("cannot connect to the sound server"));
        disconnect();
        return false;
    }
    return true;
}

bool PulseClient::isConnected() const {
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

void PulseClient::disconnect() {
    if (!m_context)
        return;
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseClient::setError(const QString &what) {
    const int code = m_context ? pa_context_errno(m_context) : PA_ERR_CONNECTIONREFUSED;
    m_error = code == PA_OK ? what : what + QStringLiteral(": ") + text(pa_strerror(code));
}

bool PulseClient::runUntil(const std::function<bool()> &done, Clock::time_point deadline) {
    while (!done()) {
        if (!m_context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
            setError(QStringLiteral("the sound server connection broke"));
            return false;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            m_error = QStringLiteral("the sound server did not answer in time");
            return false;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        const auto waitMicroseconds = static_cast<int>(std::min<long long>(wait.count(), INT_MAX));
        if (pa_mainloop_prepare(m_loop, waitMicroseconds) < 0 || pa_mainloop_poll(m_loop) < 0 ||
            pa_mainloop_dispatch(m_loop) < 0)
            return false;
    }
    return true;
}

bool PulseClient::runUntil(const std::function<bool()> &done) {
    return runUntil(done, Clock::now() + m_timeout);
}

void PulseClient::wakeUp() {
    pa_mainloop_wakeup(m_loop);
}

bool PulseClient::waitFor(pa_operation *operation) {
    if (!operation) {
        setError(QStringLiteral("request refused"));
        return false;
    }
    const bool answered =
        runUntil([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
    // A cancelled request never calls back into the caller's (by then gone) answer.
    if (!answered)
        pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return answered;
}

std::optional<PulseServerInfo> PulseClient::serverInfo() {
    if (!isConnected())
        return std::nullopt;
    std::optional<PulseServerInfo> answer;
    if (!waitFor(pa_context_get_server_info(m_context, onServerInfo, &answer)))
        return std::nullopt;
    return answer;
}

std::optional<std::vector<PulseSource>> PulseClient::sources() {
    if (!isConnected())
        return std::nullopt;
    SourceListRequest request;
    if (!waitFor(pa_context_get_source_info_list(m_context, onSourceInfo, &request)) ||
        request.failed)
        return std::nullopt;
    return std::move(request.sources);
}

std::optional<bool> PulseClient::sinkMute(const QString &sink) {
    if (!isConnected())
        return std::nullopt;
    std::optional<bool> muted;
    const QByteArray name = sink.toUtf8();
    if (!waitFor(pa_context_get_sink_info_by_name(m_context, name.constData(), onSinkInfo, &muted)))
        return std::nullopt;
    if (!muted)
        setError(QStringLiteral("no output named ") + sink);
    return muted;
}

bool PulseClient::setSinkMute(const QString &sink, bool muted) {
    if (!isConnected())
        return false;
    bool succeeded = false;
    const QByteArray name = sink.toUtf8();
    if (!waitFor(pa_context_set_sink_mute_by_name(m_context, name.constData(), muted ? 1 : 0,
                                                  onSuccess, &succeeded)))
        return false;
    if (!succeeded)
        setError(QStringLiteral("cannot change the mute state of ") + sink);
    return succeeded;
}

bool PulseClient::playSample(const QString &name, bool *missing) {
    if (missing)
        *missing = false;
    if (!isConnected())
        return false;
    bool succeeded = false;
    const QByteArray sample = name.toUtf8();
    if (!waitFor(pa_context_play_sample(m_context, sample.constData(), nullptr, PA_VOLUME_NORM,
                                        onSuccess, &succeeded)))
        return false;
    if (!succeeded && missing)
        *missing = pa_context_errno(m_context) == PA_ERR_NOENTITY;
    return succeeded;
}

bool PulseClient::uploadSample(const QString &name, const std::vector<float> &samples,
                               int sampleRate) {
    if (!isConnected() || samples.empty())
        return false;
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, static_cast<uint32_t>(sampleRate), 1};
    const QByteArray sampleName = name.toUtf8();
    pa_stream *stream = pa_stream_new(m_context, sampleName.constData(), &spec, nullptr);
    if (!stream) {
        setError(QStringLiteral("cannot create an upload"));
        return false;
    }
    const size_t bytes = samples.size() * sizeof(float);
    bool uploaded = false;
    if (pa_stream_connect_upload(stream, bytes) == 0 &&
        runUntil([stream] { return pa_stream_get_state(stream) != PA_STREAM_CREATING; }) &&
        pa_stream_get_state(stream) == PA_STREAM_READY &&
        pa_stream_write(stream, samples.data(), bytes, nullptr, 0, PA_SEEK_RELATIVE) == 0 &&
        pa_stream_finish_upload(stream) == 0) {
        uploaded = runUntil([stream] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); }) &&
                   pa_stream_get_state(stream) == PA_STREAM_TERMINATED;
    }
    if (!uploaded)
        setError(QStringLiteral("cannot upload the sound ") + name);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    return uploaded;
}

} // namespace orvanta
