// Two seats against one Firebird server on 127.0.0.1 (started by the test command).

#include "db/brenvik_config.h"
#include "support/fixtures.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

namespace {

class MultiSeatTest : public ::testing::Test {
protected:
    QString host, user, password, name;
    QTemporaryDir dir{QStringLiteral("/tmp/brenvik-seat-XXXXXX")};
    fb::Database db;
    fb::Transaction tr{db};
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<platform::ScopedDialogs> scoped;

    void SetUp() override {
        host = qEnvironmentVariable("BRENVIK_TEST_SERVER");
        if (host.isEmpty())
            GTEST_SKIP() << "no Firebird server (BRENVIK_TEST_SERVER) for the multi-seat tests";
        user = qEnvironmentVariable("BRENVIK_TEST_SERVER_USER", QStringLiteral("SYSDBA"));
        password = qEnvironmentVariable("BRENVIK_TEST_SERVER_PASSWORD");
        scoped = std::make_unique<platform::ScopedDialogs>(dialogs);
        // The server runs as its own user and must be able to write the folder.
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                              QFileDevice::ReadOther | QFileDevice::WriteOther |
                                              QFileDevice::ExeOther);
        name = host + QLatin1Char(':') + dir.filePath(QStringLiteral("seats.fdb"));
        fb::Database::create(name, user, password);
        db.open(name, user, password);
        SetBrvConnection(&db, &tr);
        CreateBaseTables();
        ASSERT_EQ(CheckDatabaseStructure(), 1);
        BrvExec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Muster')"));
        BrvExec(QStringLiteral("INSERT INTO BENUTZER (BRV_MANDANT_NR, INSERT_TS, BENUTZER_NR, LOGIN) VALUES (1, ?, 3, 'anna')"),
                SqlTs{BrvNow()});
        BrvExec(QStringLiteral("INSERT INTO BENUTZER (BRV_MANDANT_NR, INSERT_TS, BENUTZER_NR, LOGIN) VALUES (1, ?, 5, 'bernd')"),
                SqlTs{BrvNow()});
        BrvCommit();
    }
    void TearDown() override {
        SetBrvConnection(nullptr, nullptr);
        try {
            tr.rollback();
            if (db.isOpen()) {
                ISC_STATUS_ARRAY st;
                isc_drop_database(st, db.handle());
            }
        } catch (...) {
        }
    }
    QStringList seatArgs(const QStringList& tail) { return QStringList{tail[0], name, user, password} + tail.mid(1); }
};

TEST_F(MultiSeatTest, TwoSeatsRaceForOneClientLock) {
    for (int round = 0; round < 3; ++round) {
        const QString start = QString::number(QDateTime::currentMSecsSinceEpoch() + 1500);
        QProcess a, b;
        a.start(QStringLiteral(BRV_SEAT), seatArgs({"take", "3", "1", start}));
        b.start(QStringLiteral(BRV_SEAT), seatArgs({"take", "5", "1", start}));
        ASSERT_TRUE(a.waitForFinished(30000) && b.waitForFinished(30000));
        const QString ra = QString::fromUtf8(a.readAllStandardOutput()).trimmed();
        const QString rb = QString::fromUtf8(b.readAllStandardOutput()).trimmed();
        const bool aWon = ra == QLatin1String("0");
        const bool bWon = rb == QLatin1String("0");
        ASSERT_NE(aWon, bWon) << ra.toStdString() << " / " << rb.toStdString();
        EXPECT_EQ(aWon ? rb : ra, aWon ? QStringLiteral("2 anna") : QStringLiteral("2 bernd"));
        QString holder;
        // Give-back by the winner, then the lock is free again.
        EXPECT_EQ(MandantLock(false, aWon ? 3 : 5, 1, holder), 0);
        EXPECT_EQ(MandantLock(false, aWon ? 3 : 5, 1, holder), 1);
    }
    QString holder;
    EXPECT_EQ(MandantLock(true, 3, 1, holder), 0);
    EXPECT_EQ(MandantLock(false, 3, -1, holder), 0); // release-all
    EXPECT_EQ(MandantLock(false, 3, -1, holder), 1);
}

TEST_F(MultiSeatTest, WriteMeetingAnotherSeatsUncommittedChangeFailsWithinTheLockWait) {
    QProcess holder;
    holder.start(QStringLiteral(BRV_SEAT), seatArgs({"hold", "1", "10"}));
    ASSERT_TRUE(holder.waitForReadyRead(30000));
    ASSERT_EQ(QString::fromUtf8(holder.readLine()).trimmed(), QStringLiteral("held"));
    QElapsedTimer t;
    t.start();
    try {
        BrvExec(QStringLiteral("UPDATE MANDANTEN SET FIRMA = ? WHERE MANDANT_NR = 1"), QStringLiteral("Neu"));
        FAIL() << "the write went through another seat's uncommitted change";
    } catch (const fb::Error& e) {
        EXPECT_TRUE(e.isUpdateConflict()) << e.what();
    }
    BrvRollback();
    EXPECT_LT(t.elapsed(), (fb::Transaction::lockTimeoutSeconds() + 1) * 1000);
    // Reading is never blocked.
    BrvSql q(QStringLiteral("SELECT FIRMA FROM MANDANTEN WHERE MANDANT_NR = 1"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q->asText(0), QStringLiteral("Muster"));
    q->closeCursor();
    BrvCommit();
    holder.kill();
    holder.waitForFinished();
}

} // namespace
