// History and preferences saved while the disk is full: on a small tmpfs filled up where one can
// be mounted, else under a file size limit (ulimit -f) that the new files cannot stay within.
#include "FakePorts.h"
#include "History.h"
#include "PreferenceStore.h"
#include "Settings.h"
#include "SmallFileSystem.h"
#include "TempEnvironment.h"
#include "Vocabulary.h"

#include <QDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace orvanta;
using namespace orvanta::test;

namespace {

// Makes the disk full and gives the room back, whichever way this machine allows.
class FullDisk {
public:
    ~FullDisk() { makeRoom(); }
    QString folder() const { return m_tmpfs.mounted() ? m_tmpfs.path() : m_fallback.path(); }
    void fill() {
        if (m_tmpfs.mounted()) {
            m_tmpfs.fill();
            return;
        }
        // No file may grow beyond 1 KiB; growing one fails with EFBIG instead of a signal.
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = 1024;
        m_limited = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    void makeRoom() {
        if (std::exchange(m_limited, false))
            setrlimit(RLIMIT_FSIZE, &m_saved);
        if (m_tmpfs.mounted())
            m_tmpfs.drain();
    }

private:
    SmallFileSystem m_tmpfs{512 * 1024};
    TempFolder m_fallback;
    rlimit m_saved{};
    bool m_limited = false;
};

// The files of a folder, with what is in them.
QMap<QString, QByteArray> filesIn(const QString &folder) {
    QMap<QString, QByteArray> files;
    for (const QString &name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        if (name != "filler")
            files[name] = TempFolder::read(folder + "/" + name);
    return files;
}

} // namespace

TEST(FullDiskTest, SavesKeepThePreviousFilesAndTheNextSaveStoresEverything) {
    FullDisk disk;
    const QString historyFolder = disk.folder() + "/Orvanta", prefs = disk.folder() + "/prefs";
    const QString big(4000, u'w');
    FakeLoginItem loginItem;
    {
        History history(historyFolder);
        PreferenceStore store(prefs + "/Orvanta.conf");
        Settings settings(store, loginItem);
        Vocabulary vocabulary(store);
        history.add("before", DictationMode::Clean, QDateTime::currentDateTimeUtc());
        vocabulary.setInstructions("before");
        const auto historyFiles = filesIn(historyFolder), preferenceFiles = filesIn(prefs);
        ASSERT_EQ(historyFiles.size(), 1);
        ASSERT_EQ(preferenceFiles.size(), 1);

        disk.fill();
        history.add(big, DictationMode::Email, QDateTime::currentDateTimeUtc());
        vocabulary.setInstructions(big);
        vocabulary.setReplacements({{QUuid::createUuid(), big, "short", true}});
        settings.setModel("model-while-full");
        // The files on disk are the previous ones, whole, with no half-written files beside them.
        EXPECT_EQ(filesIn(historyFolder), historyFiles);
        EXPECT_EQ(filesIn(prefs), preferenceFiles);
        EXPECT_EQ(history.items().size(), 2);

        disk.makeRoom();
        history.add("after", DictationMode::Clean, QDateTime::currentDateTimeUtc());
        vocabulary.setTerms({"after"});
    }
    History history(historyFolder);
    ASSERT_EQ(history.items().size(), 3);
    EXPECT_EQ(history.items()[1].text, big);
    PreferenceStore store(prefs + "/Orvanta.conf");
    Vocabulary vocabulary(store);
    EXPECT_EQ(vocabulary.instructions(), big);
    ASSERT_EQ(vocabulary.replacements().size(), 1);
    EXPECT_EQ(vocabulary.replacements()[0].from, big);
    EXPECT_EQ(Settings(store, loginItem).model(), "model-while-full");
    EXPECT_EQ(vocabulary.terms(), QStringList{"after"});
}
