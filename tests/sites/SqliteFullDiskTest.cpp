// The SQLite store on a disk that fills up: the record that finds no room fails and says why,
// every record said to be recorded before is still there, and the file stays sound. The full
// disk is a small tmpfs in a mount namespace of this test's own, so the case needs root.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include "SitesTestSupport.h"
#include "sites/SiteRegister.h"
#include "sites/SiteStore.h"

using namespace orbiqa::sites;
using namespace orbiqa::sites::test;

namespace {

bool MountSmallDisk(const QString& where, std::string* why) {
    if (::geteuid() != 0) {
        *why = "needs root for a private mount";
        return false;
    }
    if (::unshare(CLONE_NEWNS) != 0 || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", where.toLocal8Bit().constData(), "tmpfs", 0, "size=512k") != 0) {
        *why = std::string("no private tmpfs: ") + std::strerror(errno);
        return false;
    }
    return true;
}

QString IntegrityOf(const QString& file) {
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next()) result = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return result;
}

}  // namespace

TEST(SqliteFullDisk, TheRecordThatFindsNoRoomFailsAndNothingRecordedBeforeIsLost) {
    QTemporaryDir dir;
    const QString disk = dir.filePath(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(disk));
    std::string why;
    if (!MountSmallDisk(disk, &why)) GTEST_SKIP() << why;
    struct Unmount {
        QString at;
        ~Unmount() { ::umount2(at.toLocal8Bit().constData(), MNT_DETACH); }
    } unmount{disk};
    const QString file = disk + QStringLiteral("/OrbiqaSites.sqlite");
    const QString filler = disk + QStringLiteral("/filler");
    const QString site = QStringLiteral("Tele lemez");
    std::vector<QUuid> kept;
    {
        SiteRegister reg({file, std::nullopt});
        ASSERT_TRUE(reg.LocalProblem().isEmpty()) << reg.LocalProblem().toStdString();
        const HistoryEntry first = ReadEntry(site, SetWith({{"PanelID", "5"}}));
        ASSERT_EQ(reg.Record(first).state, RecordResult::State::Recorded);
        kept.push_back(first.eventId);

        // Whatever the disk still takes goes to a filler, to the last byte.
        {
            QFile fill(filler);
            ASSERT_TRUE(fill.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'x');
            while (fill.write(block) == block.size() && fill.flush()) {
            }
        }

        bool failed = false;
        for (int i = 0; i < 64 && !failed; ++i) {
            const std::string panel = std::to_string(i % 9 + 1);
            const HistoryEntry e = ReadEntry(site, SetWith({{"PanelID", panel.c_str()}}));
            const RecordResult r = reg.Record(e);
            if (r.state == RecordResult::State::Failed) {
                failed = true;
                EXPECT_TRUE(r.why.contains(QStringLiteral("nincs elég hely a lemezen"))) << r.why.toStdString();
            } else {
                // SQLite may still have had a free page for it.
                ASSERT_EQ(r.state, RecordResult::State::Recorded) << r.why.toStdString();
                kept.push_back(e.eventId);
            }
        }
        EXPECT_TRUE(failed) << "the disk never filled";

        // Room again: the register goes on where it stopped.
        ASSERT_TRUE(QFile::remove(filler));
        const HistoryEntry after = ReadEntry(site, SetWith({{"PanelID", "7"}}));
        const RecordResult r = reg.Record(after);
        EXPECT_EQ(r.state, RecordResult::State::Recorded) << r.why.toStdString();
        kept.push_back(after.eventId);
    }
    {
        // A fresh open finds exactly the records that were said to be recorded.
        auto store = OpenSqliteStore(file);
        const auto history = store->History(site, 1000);
        EXPECT_EQ(history.size(), kept.size());
        for (const HistoryEntry& e : history)
            EXPECT_NE(std::find(kept.begin(), kept.end(), e.eventId), kept.end());
        EXPECT_EQ(store->FindSite(site)->panelId, 7);
    }
    EXPECT_EQ(IntegrityOf(file), QStringLiteral("ok"));
}
