// The real orvanta executable against orvanta-service with its offline recogniser, on an X
// server, with a sound server whose microphone hears espeak-ng speech and a Secret Service:
// the user signs in on the service's page and dictates one sentence from the command line.

#include "E2eFixture.h"
#include "PreferenceStore.h"
#include "Vocabulary.h"

using namespace orvanta;
using namespace orvanta::e2e;

namespace {

const QString email = QStringLiteral("self.hosted.e2e@example.com");
const QString sentence = QStringLiteral("Send the report today.");
// The recogniser chooses among these; the others keep it from accepting anything at all.
const QStringList expectedSentences{QStringLiteral("send the report today"),
                                    QStringLiteral("turn on the kitchen light"),
                                    QStringLiteral("please call me tomorrow")};
// What the user's rule makes of what the service writes for the speech.
const QString typedText = QStringLiteral("Send the report by Friday.");

void writePreferences(const QString &configFile) {
    PreferenceStore store(configFile);
    Replacement day = Replacement::create();
    day.from = QStringLiteral("today");
    day.to = QStringLiteral("by Friday");
    Vocabulary(store).setReplacements({day});
}

class SelfHostedEndToEnd : public SessionTest<> {
protected:
    static void SetUpTestSuite() { startSession(writePreferences, email, expectedSentences); }
};

TEST_F(SelfHostedEndToEnd, SignsInOnTheServicePageAndDictates) {
    signIn();
    // The service answers only the holder of a token it issued.
    dictate(sentence, toggle, toggle);

    expectTyped(typedText, 1);
}

} // namespace
