#include "TempEnvironment.h"

namespace orvanta::test {

void usePrivateXdgFolders(const QTemporaryDir &home) {
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, home.filePath(QString::fromLatin1(variable)).toLocal8Bit());
}

} // namespace orvanta::test
