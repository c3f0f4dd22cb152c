#include "DictationStatus.h"

namespace orvanta {

QString DictationStatus::name() const {
    switch (m_kind) {
    case Kind::Idle:
        return QStringLiteral("idle");
    case Kind::Recording:
        return QStringLiteral("recording");
    case Kind::Transcribing:
        return QStringLiteral("transcribing");
    case Kind::Error:
        return QStringLiteral("error");
    }
    return {};
}

QString DictationStatus::describe() const {
    return m_kind == Kind::Error ? name() + QStringLiteral(": ") + m_message : name();
}

} // namespace orvanta
