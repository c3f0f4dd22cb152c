#include "AudioRecorder.h"

#include "AudioLogging.h"
#include "CaptureSession.h"

#include <QFile>

namespace orvanta {

void AudioRecorder::removeLeftovers() {
    CaptureSession::removeOrphans({QStringLiteral("orvanta-"), QStringLiteral("ov-mictest-")});
}

AudioRecorder::AudioRecorder(QObject *parent)
    : QObject(parent) {}

// Sessions stop their threads before the recorder (their delivery context) goes away.
AudioRecorder::~AudioRecorder() {
    m_current.reset();
    m_ending.clear();
}

bool AudioRecorder::start(const QString &deviceUID) {
    if (m_current) {
        qCWarning(lcAudio) << "A recording was started over a running one; discarding the old one";
        cancel();
    }
    const std::uint64_t id = ++m_lastId;
    CaptureSession::Handlers handlers;
    handlers.context = this;
    handlers.level = [this, id](float level) { levelArrived(id, level); };
    handlers.finished = [this, id](std::optional<QString> file) { recordingEnded(id, file); };
    handlers.failedToStart = [this, id] { startFailed(id); };
    auto session =
        CaptureSession::begin(deviceUID, QStringLiteral("orvanta-"), std::move(handlers));
    if (!session)
        return false;
    m_lastFile = session->file();
    m_current = std::move(session);
    m_currentId = id;
    return true;
}

void AudioRecorder::stop(std::function<void(std::optional<QString> file)> completion) {
    if (!m_current) {
        if (completion)
            completion(std::nullopt);
        return;
    }
    m_current->stop();
    endCurrent(std::move(completion));
}

void AudioRecorder::cancel() {
    if (!m_current)
        return;
    m_current->cancel();
    if (m_lastFile == m_current->file())
        m_lastFile.reset();
    endCurrent(nullptr);
}

void AudioRecorder::endCurrent(Completion completion) {
    m_ending[m_currentId] = Ending{std::move(m_current), std::move(completion)};
    m_currentId = 0;
}

void AudioRecorder::cleanup(const QString &file) {
    if (m_delivered.remove(file))
        QFile::remove(file);
    else
        qCWarning(lcAudio).noquote() << QStringLiteral("Not deleting") << file
                                     << QStringLiteral("- this recorder did not deliver it");
    if (m_lastFile == file)
        m_lastFile.reset();
}

void AudioRecorder::setLevelHandler(std::function<void(float level)> onLevel) {
    m_onLevel = std::move(onLevel);
}

void AudioRecorder::setStartFailureHandler(std::function<void()> onStartFailed) {
    m_onStartFailed = std::move(onStartFailed);
}

void AudioRecorder::startFailed(std::uint64_t recording) {
    // Stopped or cancelled meanwhile: it ends as one that captured nothing.
    if (recording != m_currentId || !m_current)
        return recordingEnded(recording, std::nullopt);
    if (m_lastFile == m_current->file())
        m_lastFile.reset();
    m_current.reset(); // its thread has ended
    m_currentId = 0;
    if (m_onStartFailed)
        m_onStartFailed();
}

void AudioRecorder::levelArrived(std::uint64_t recording, float level) {
    // Levels still in flight after a stop belong to a recording that is over.
    if (recording == m_currentId && m_current && m_onLevel)
        m_onLevel(level);
}

void AudioRecorder::recordingEnded(std::uint64_t recording, const std::optional<QString> &file) {
    auto ending = m_ending.extract(recording);
    if (ending.empty())
        return;
    if (!ending.mapped().completion)
        return;
    if (file)
        m_delivered.insert(*file);
    else if (m_lastFile == ending.mapped().session->file())
        m_lastFile.reset();
    ending.mapped().completion(file);
}

} // namespace orvanta
