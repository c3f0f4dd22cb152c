#include "MicTester.h"

#include "CaptureSession.h"

namespace orvanta {

MicTester::MicTester(QObject *parent)
    : QObject(parent) {}

MicTester::~MicTester() {
    m_current.reset();
    m_ending.clear();
}

void MicTester::start(const QString &deviceUID) {
    if (m_current)
        stop();
    const std::uint64_t id = ++m_lastId;
    CaptureSession::Handlers handlers;
    handlers.context = this;
    handlers.level = [this, id](float level) { levelArrived(id, level); };
    // Every test ends by cancelling, which deletes the file before this runs.
    handlers.finished = [this, id](const std::optional<QString> &) { m_ending.erase(id); };
    handlers.failedToStart = [this, id] { testFailed(id); };
    auto session =
        CaptureSession::begin(deviceUID, QStringLiteral("ov-mictest-"), std::move(handlers));
    if (!session)
        return;
    m_current = std::move(session);
    m_currentId = id;
    emit isTestingChanged();
}

void MicTester::stop() {
    if (m_current) {
        m_current->cancel();
        m_ending[m_currentId] = std::move(m_current);
        m_currentId = 0;
        emit isTestingChanged();
    }
    setLevel(0);
}

// The microphone could not be opened after all: the test ends as if stopped.
void MicTester::testFailed(std::uint64_t test) {
    if (test != m_currentId || !m_current)
        return void(m_ending.erase(test));
    m_current.reset();
    m_currentId = 0;
    emit isTestingChanged();
}

void MicTester::levelArrived(std::uint64_t test, float level) {
    if (test == m_currentId && m_current)
        setLevel(level);
}

void MicTester::setLevel(float level) {
    if (level == m_level)
        return;
    m_level = level;
    emit levelChanged();
}

} // namespace orvanta
