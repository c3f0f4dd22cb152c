// orvanta on headless sway (its windows on XWayland) dictating into a native Wayland window.

#include "E2eFixture.h"
#include "WaylandTestSupport.h"

using namespace orvanta;
using namespace orvanta::e2e;

namespace {

const QString email = QStringLiteral("wayland.e2e@example.com");
const QString sentence = QStringLiteral("Meet me at the station at noon.");

class WaylandEndToEnd : public SessionTest<test::WaylandUserKeyboard> {
protected:
    static void SetUpTestSuite() {
        startSession(new DictationService(email), [](const QString &) {});
    }
};

TEST_F(WaylandEndToEnd, DictationReachesANativeWaylandWindow) {
    signIn();
    // The application's windows never take the focus from the target.
    ASSERT_TRUE(test::userCopiesInTarget(session->keyboard, target()))
        << target().lines().join(u'|').toStdString();
    ASSERT_TRUE(session->service->command(QStringLiteral("transcript ") + sentence));

    dictate(sentence, toggle, toggle);

    expectTyped(sentence, 1);
}

} // namespace
