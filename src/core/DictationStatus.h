#pragma once

#include <QObject>
#include <QString>

namespace orvanta {

// idle, recording, transcribing, or error with its message.
class DictationStatus {
    Q_GADGET
    Q_PROPERTY(Kind kind READ kind CONSTANT)
    Q_PROPERTY(QString message READ message CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)

public:
    enum class Kind { Idle, Recording, Transcribing, Error };
    Q_ENUM(Kind)

    DictationStatus() = default;
    static DictationStatus idle() { return DictationStatus(Kind::Idle); }
    static DictationStatus recording() { return DictationStatus(Kind::Recording); }
    static DictationStatus transcribing() { return DictationStatus(Kind::Transcribing); }
    static DictationStatus error(QString message) {
        return DictationStatus(Kind::Error, std::move(message));
    }

    Kind kind() const { return m_kind; }
    // Empty unless kind() is Error.
    QString message() const { return m_message; }
    bool is(Kind kind) const { return m_kind == kind; }

    // "idle", "recording", "transcribing" or "error".
    QString name() const;
    // The name, and for an error ": <message>".
    QString describe() const;

    friend bool operator==(const DictationStatus &, const DictationStatus &) = default;

private:
    explicit DictationStatus(Kind kind, QString message = {})
        : m_kind(kind)
        , m_message(std::move(message)) {}

    Kind m_kind = Kind::Idle;
    QString m_message;
};

} // namespace orvanta

Q_DECLARE_METATYPE(orvanta::DictationStatus)
