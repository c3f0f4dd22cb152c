// The settings pages' models over the real stores.

#include "../unit/FakeAppScene.h"
#include "GeneralSectionModel.h"
#include "HistoryListModel.h"
#include "KeybindingsModel.h"
#include "RelativeTime.h"
#include "ReplacementListModel.h"
#include "ShortcutLabel.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QWindow>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

class SettingsModelsTest : public ::testing::Test, protected FakeAppScene {};

TEST_F(SettingsModelsTest, EditingARuleUpdatesItsRowWithoutRebuildingTheList) {
    ReplacementListModel model(vocabulary);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.add();
    model.add();
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(resets.count(), 2);

    const QString second = model.data(model.index(1), ReplacementListModel::IdRole).toString();
    model.setTo(second, "typed");
    EXPECT_EQ(resets.count(), 2) << "typing keeps the rows (and the field's focus)";
    EXPECT_GE(changes.count(), 1);
    EXPECT_EQ(vocabulary.replacements()[1].to, "typed");
    EXPECT_EQ(model.data(model.index(1), ReplacementListModel::ToRole), "typed");

    model.setFrom("not-a-uuid", "x");
    model.remove(QUuid::createUuid().toString());
    EXPECT_EQ(model.count(), 2) << "an unknown rule changes nothing";
    EXPECT_TRUE(vocabulary.replacements()[0].from.isEmpty());
    model.remove(second);
    EXPECT_EQ(model.count(), 1);
    EXPECT_FALSE(model.data(model.index(5), ReplacementListModel::FromRole).isValid());
}

TEST_F(SettingsModelsTest, HistoryRowsSayHowLongAgoAtTheTimeTheyAreRead) {
    const QDateTime written(QDate(2026, 5, 1), QTime(9, 0), Qt::UTC);
    history.add("note", DictationMode::Summary, written);
    HistoryListModel model(history, inserter);
    for (const QDateTime &now : {written.addSecs(3 * 3600), written.addDays(2)}) {
        model.setClock([now] { return now; });
        EXPECT_EQ(model.data(model.index(0), HistoryListModel::RelativeTimeRole),
                  relativeTimeText(written, now));
    }
    EXPECT_EQ(model.data(model.index(0), HistoryListModel::ModeRole),
              label(DictationMode::Summary));
    model.paste(QUuid::createUuid().toString());
    EXPECT_TRUE(inserter.inserted.isEmpty()) << "an unknown entry pastes nothing";
}

TEST_F(SettingsModelsTest, PermissionAnswerAfterTheSectionClosedIsHarmless) {
    permissions.microphoneAuthorized = false;
    permissions.answerLater = true;
    auto model = std::make_unique<GeneralSectionModel>(
        settings, app, permissions, [] { return QList<std::pair<QString, QString>>(); });
    model->grantMicrophone();
    model.reset();
    permissions.answer(false);
    EXPECT_FALSE(journal.entries.contains("open:microphone-help"))
        << "nothing acts for a section that is gone";
}

TEST_F(SettingsModelsTest, RecorderUsesThePhysicalKeyWhereThePlatformNamesIt) {
    KeybindingsModel model(keybindings);
    // X key code 24 is the key a US layout types "q" with (stored code 12).
    model.setScanCodeTranslator([](quint32 scanCode) -> std::optional<quint16> {
        if (scanCode == 24)
            return quint16(12);
        return std::nullopt;
    });
    QWindow window;
    model.beginRecording("nonsense", &window);
    EXPECT_FALSE(model.recording()) << "an unknown action starts nothing";
    model.beginRecording("cancel", &window);
    ASSERT_TRUE(model.recording());
    EXPECT_EQ(model.actionTitle(), title(KeybindAction::Cancel));

    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 24, 0, 0, "a");
    EXPECT_TRUE(QCoreApplication::sendEvent(&window, &press)) << "the sheet consumes its keys";
    EXPECT_EQ(model.capturedDisplay(), "Ctrl+Q");
    QKeyEvent unknown(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, 99, 0, 0, "b");
    QCoreApplication::sendEvent(&window, &unknown);
    EXPECT_EQ(model.capturedDisplay(), "B") << "keys the platform cannot place use the Qt key";

    QSignalSpy finished(&model, &KeybindingsModel::recordingFinished);
    model.save();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(keybindings.cancel().display, "B");
    QKeyEvent after(QEvent::KeyPress, Qt::Key_C, Qt::NoModifier, 0, 0, 0, "c");
    QCoreApplication::sendEvent(&window, &after);
    EXPECT_EQ(keybindings.cancel().display, "B") << "no longer listening";
    EXPECT_FALSE(model.recording());
}

TEST_F(SettingsModelsTest, BindingRowsFollowTheStore) {
    KeybindingsModel model(keybindings);
    QSignalSpy rowsChanged(&model, &KeybindingsModel::rowsChanged);
    keybindings.setCancel(Shortcut::doubleTap(ModifierKey::Option));
    EXPECT_EQ(rowsChanged.count(), 1);
    const QVariantList rows = model.rows();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].toMap()["action"], "cancel");
    EXPECT_EQ(rows[1].toMap()["display"], QString::fromUtf8("⌥ ×2"));
    model.resetToDefaults();
    EXPECT_EQ(model.rows()[1].toMap()["display"], Keybindings::defaultCancel().display);

    // The Activate row names what the shortcut monitor really listens for; the stored text
    // stays as it is.
    std::optional<Shortcut> listened = Keybindings::fallbackActivate();
    model.setListenedActivate([&listened] { return listened; });
    const QVariantMap activate = model.rows()[0].toMap();
    EXPECT_EQ(activate["label"], desktopLabel(Keybindings::fallbackActivate()));
    EXPECT_EQ(activate["display"], keybindings.activate().display);
    EXPECT_NE(activate["label"], desktopLabel(keybindings.activate()));
    listened.reset();
    EXPECT_EQ(model.rows()[0].toMap()["label"], desktopLabel(keybindings.activate()));
}

} // namespace
