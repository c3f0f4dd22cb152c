#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcTranscriber)
Q_DECLARE_LOGGING_CATEGORY(lcAuth)
Q_DECLARE_LOGGING_CATEGORY(lcKeychain)
