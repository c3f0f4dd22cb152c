#include "History.h"
#include "QtPrinters.h"
#include "TempEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

const QDateTime someDay(QDate(2024, 5, 17), QTime(9, 30, 15, 250), Qt::UTC);

QByteArray entriesJson(int count) {
    QByteArray out("[");
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += ',';
        out += QStringLiteral(R"({"id":"%1","text":"entry %2","date":%3,"mode":"Clean"})")
                   .arg(QUuid::createUuid().toString(QUuid::WithoutBraces))
                   .arg(i)
                   .arg(1000.0 - i)
                   .toUtf8();
    }
    return out + "]";
}

class HistoryTest : public ::testing::Test {
protected:
    QByteArray fileContents() const { return TempFolder::read(file); }
    QStringList keptCopies() const {
        return QDir(dir).entryList({"history.json.unreadable-*"}, QDir::Files);
    }

    TempFolder folder;
    QString dir = folder.filePath("Orvanta");
    QString file = dir + "/history.json";
};

TEST_F(HistoryTest, EntriesAreStoredNewestFirstInTheFileFormat) {
    History history(dir);
    history.add("first", DictationMode::Verbatim, someDay);
    history.add("and/or \"quoted\"\nline", DictationMode::Email, someDay.addSecs(60));

    const QByteArray json = fileContents();
    EXPECT_FALSE(json.contains('\n')) << "compact";
    EXPECT_TRUE(json.contains(R"("text":"and\/or \"quoted\"\nline")"));
    const auto items = history.items();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(json.startsWith(R"([{"id":")" +
                                items[0].id.toString(QUuid::WithoutBraces).toUpper().toUtf8() +
                                R"(","text":)"));
    EXPECT_EQ(items[0].mode, "Email");
    EXPECT_EQ(items[1].mode, "Verbatim");

    const QJsonArray array = QJsonDocument::fromJson(json).array();
    // Seconds since 2001-01-01 00:00:00 UTC, not since 1970.
    const double expected =
        QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).msecsTo(someDay) / 1000.0;
    EXPECT_DOUBLE_EQ(array[1].toObject().value("date").toDouble(), expected);

    History reloaded(dir);
    EXPECT_EQ(reloaded.items(), items);
    EXPECT_EQ(reloaded.items()[1].dateTime(), someDay);
}

TEST_F(HistoryTest, LiteralFileLoadsWithFractionalDates) {
    TempFolder::write(
        file,
        R"([{"mode":"Summary","date":1.5,"text":"a\/b","id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}])");
    History history(dir);
    ASSERT_EQ(history.items().size(), 1);
    EXPECT_EQ(history.items()[0].text, "a/b");
    EXPECT_EQ(history.items()[0].dateTime(),
              QDateTime(QDate(2001, 1, 1), QTime(0, 0, 1, 500), Qt::UTC));
    EXPECT_EQ(history.items()[0].mode, "Summary");
}

TEST_F(HistoryTest, AddingKeepsTheNewestTwoHundred) {
    History history(dir);
    for (int i = 0; i < 201; ++i)
        history.add(QString::number(i), DictationMode::Clean, someDay);
    EXPECT_EQ(history.items().size(), 200);
    EXPECT_EQ(history.items().first().text, "200");
    EXPECT_EQ(history.items().last().text, "1");
    EXPECT_EQ(QJsonDocument::fromJson(fileContents()).array().size(), 200);
}

TEST_F(HistoryTest, OversizedFileLoadsWholeAndIsCutOnTheNextAddition) {
    TempFolder::write(file, entriesJson(250));
    History history(dir);
    EXPECT_EQ(history.items().size(), 250);
    history.add("new", DictationMode::Clean, someDay);
    ASSERT_EQ(history.items().size(), 200);
    EXPECT_EQ(history.items()[0].text, "new");
    EXPECT_EQ(history.items()[1].text, "entry 0");
    EXPECT_EQ(history.items()[199].text, "entry 198");
}

TEST_F(HistoryTest, RemoveAndClearRewriteTheFile) {
    History history(dir);
    history.add("keep", DictationMode::Clean, someDay);
    history.add("drop", DictationMode::Clean, someDay);
    QSignalSpy spy(&history, &History::itemsChanged);
    history.remove(history.items()[0].id);
    EXPECT_EQ(History(dir).items().size(), 1);

    TempFolder::write(file, "[]");
    history.remove(QUuid::createUuid());
    EXPECT_EQ(History(dir).items().size(), 1) << "an unknown id still rewrites the file";

    history.clear();
    history.clear();
    EXPECT_EQ(fileContents(), "[]");
    EXPECT_EQ(spy.count(), 4);
}

TEST_F(HistoryTest, UnreadableFilesStartEmptyAndAreKeptBeforeTheFirstSave) {
    const QByteArray entry(
        R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"t","date":1,"mode":"Clean"})");
    const QList<QByteArray> unreadable{
        "[" + entry + R"(,{"id":"1B4E28BA-2FA1-11D2-883F-0016D3CCA427","text":"t","date":1}])",
        R"([{"id":"not-a-uuid","text":"t","date":1,"mode":"Clean"}])",
        R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","text":"t","date":"yesterday","mode":"Clean"}])",
        "[{\"id\":\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\",\"text\":\"\xc3\x28\",\"date\":1,"
        "\"mode\":\"Clean\"}]",
        entry,
        "garbage",
    };
    for (const QByteArray &contents : unreadable) {
        QDir(dir).removeRecursively();
        TempFolder::write(file, contents);
        History history(dir);
        EXPECT_TRUE(history.items().isEmpty()) << contents.toStdString();
        EXPECT_EQ(fileContents(), contents) << "loading changes nothing";

        history.add("new", DictationMode::Clean, someDay);
        const QStringList copies = keptCopies();
        ASSERT_EQ(copies.size(), 1);
        EXPECT_EQ(TempFolder::read(dir + "/" + copies[0]), contents);
        EXPECT_EQ(History(dir).items().size(), 1);
        history.add("newer", DictationMode::Clean, someDay);
        EXPECT_EQ(keptCopies().size(), 1) << "kept once only";
    }
}

TEST_F(HistoryTest, HugeFileIsNotReadButKept) {
    QDir().mkpath(dir);
    QFile huge(file);
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(History::maxFileSize + 1));
    huge.close();
    History history(dir);
    EXPECT_TRUE(history.items().isEmpty());
    history.add("after", DictationMode::Clean, someDay);
    ASSERT_EQ(keptCopies().size(), 1);
    EXPECT_EQ(QFileInfo(dir + "/" + keptCopies()[0]).size(), History::maxFileSize + 1);
}

TEST_F(HistoryTest, WorksInMemoryWhenTheFolderCannotBeMade) {
    TempFolder::write(folder.filePath("blocker"), "a file where the folder should be");
    History history(folder.filePath("blocker/Orvanta"));
    history.add("still here", DictationMode::Clean, someDay);
    EXPECT_EQ(history.items().size(), 1);
}

} // namespace
