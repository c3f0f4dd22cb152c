// GUI tests run with a QApplication on the offscreen platform unless a display is chosen,
// with private XDG folders like every other test. A warning fails the test that logs it, but
// the offscreen platform's notes that it can neither raise nor shape windows.

#include <QApplication>
#include <QTemporaryDir>

#include "QmlViews.h"
#include "TempEnvironment.h"
#include "ViewEngine.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Qt Quick 6.4 keeps the images of shown windows' Image items, and their scene-graph textures,
// in a process-wide store that is torn down only after the leak check. Matching those Qt
// frames needs full allocation stacks: Qt is built without frame pointers.
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
