#include "DictationStatus.h"

namespace orvanta {

QString DictationStatus::describe() const {
    switch (m_kind) {
    case Kind::Idle:
        return QStringLiteral("idle");
    case Kind::Recording:
        return QStringLiteral("recording");
    case Kind::Transcribing:
        return QStringLiteral("transcribing");
    case Kind::Error:
        return QStringLiteral("error: ") + m_message;
    }
    return {};
}

} // namespace orvanta
