#include "MenuRules.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::MenuRules;

namespace {

TEST(MenuRulesTest, PrimaryButtonFollowsTheStatus) {
    const PrimaryButton recording = primaryButton(DictationStatus::recording());
    EXPECT_EQ(recording.title, "Stop Dictation");
    EXPECT_EQ(recording.symbol, "stop.fill");
    EXPECT_TRUE(recording.enabled);

    const PrimaryButton transcribing = primaryButton(DictationStatus::transcribing());
    EXPECT_EQ(transcribing.title, "Start Dictation");
    EXPECT_FALSE(transcribing.enabled);
    EXPECT_TRUE(primaryButton(DictationStatus::error("boom")).enabled);

    EXPECT_EQ(primaryAction(DictationStatus::recording()), PrimaryAction::Stop);
    EXPECT_EQ(primaryAction(DictationStatus::transcribing()), PrimaryAction::Nothing);
    EXPECT_EQ(primaryAction(DictationStatus::idle()), PrimaryAction::Start);
    EXPECT_EQ(primaryAction(DictationStatus::error("boom")), PrimaryAction::Start);
}

TEST(MenuRulesTest, StatusPillAndContentCard) {
    EXPECT_EQ(statusPill(DictationStatus::idle()).label, "Ready");
    EXPECT_EQ(statusPill(DictationStatus::error("x")).colour, "orange");
    EXPECT_EQ(statusPill(DictationStatus::transcribing()).label, "Transcribing");

    EXPECT_EQ(contentCard(false, false, false), ContentCard::SignIn);
    EXPECT_EQ(contentCard(false, true, true), ContentCard::SignIn);
    EXPECT_EQ(contentCard(true, false, true), ContentCard::InputAccessWarning);
    EXPECT_EQ(contentCard(true, true, false), ContentCard::ActivateUnavailable);
    EXPECT_EQ(contentCard(true, true, true), ContentCard::Hint);
}

} // namespace
