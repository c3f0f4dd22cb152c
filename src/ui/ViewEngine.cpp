#include "ViewEngine.h"

#include "Symbols.h"

extern void qml_register_types_Orvanta();

namespace orvanta {

ViewEngine::ViewEngine(std::function<void(QQmlEngine &)> setUp)
    : m_setUp(std::move(setUp)) {}

ViewEngine::~ViewEngine() = default;

QQmlEngine &ViewEngine::engine() {
    if (!m_engine) {
        static const bool registered = (qml_register_types_Orvanta(), true);
        Q_UNUSED(registered);
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImageProvider(QStringLiteral("symbol"), new SymbolImageProvider);
        if (m_setUp)
            m_setUp(*m_engine);
    }
    return *m_engine;
}

} // namespace orvanta
