#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>

namespace orvanta {

class CaptureSession;

// Captures the chosen microphone to show its live level, and throws the audio away.
class MicTester final : public QObject {
    Q_OBJECT
    Q_PROPERTY(float level READ level NOTIFY levelChanged)
    Q_PROPERTY(bool isTesting READ isTesting NOTIFY isTestingChanged)
public:
    explicit MicTester(QObject *parent = nullptr);
    ~MicTester() override;

    float level() const { return m_level; }
    bool isTesting() const { return m_current != nullptr; }

    // Ends again by itself, soon, when there is no microphone to test.
    Q_INVOKABLE void start(const QString &deviceUID);
    Q_INVOKABLE void stop();

signals:
    void levelChanged();
    void isTestingChanged();

private:
    void setLevel(float level);
    void levelArrived(std::uint64_t test, float level);
    void testFailed(std::uint64_t test);

    float m_level = 0;
    std::unique_ptr<CaptureSession> m_current;
    std::uint64_t m_currentId = 0;
    std::uint64_t m_lastId = 0;
    // Tests that were stopped and are deleting their file.
    std::map<std::uint64_t, std::unique_ptr<CaptureSession>> m_ending;
};

} // namespace orvanta
