// Offscreen unless a display is chosen; a warning fails its test, bar offscreen's limits.

#include <QApplication>
#include <QTemporaryDir>

#include "QmlViews.h"
#include "TempEnvironment.h"
#include "ViewEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Qt Quick frees images and textures after the leak check; matching Qt's frames needs full
// stacks (no frame pointers).
extern "C" const char *__asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char *__lsan_default_suppressions() {
    return "leak:QQuickPixmap::load\n"
           "leak:QSGRenderContext::textureForFactory\n";
}

static void failOnWarning(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (type != QtDebugMsg && type != QtInfoMsg && !message.contains("does not support"))
        ADD_FAILURE() << message.toStdString();
}

int main(int argc, char **argv) {
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    orvanta::test::usePrivateXdgFolders(home);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QT_QUICK_BACKEND", "software", 0);
    QApplication app(argc, argv);
    // The views are linked in here, not opened as a library.
    orvanta::ViewEngine::useLinkedViews(&orvanta::QmlViews::make);
    ::testing::InitGoogleTest(&argc, argv);
    qInstallMessageHandler(&failOnWarning);
    return RUN_ALL_TESTS();
}
