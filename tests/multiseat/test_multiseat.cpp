// Two seats against one Firebird server on 127.0.0.1 (started by the test command).

#include "app/brenvik_ini.h"
#include "app/frm_brenvik.h"
#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/fixtures.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QPushButton>
#include <QTreeWidget>

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

TEST_F(MultiSeatTest, TwoSeatsCreatingAClientAtOnceBothGetTheirOwn) {
    // Both seats see client 1 as the highest number and propose 2.
    const QString start = QString::number(QDateTime::currentMSecsSinceEpoch() + 1500);
    QProcess a, b;
    a.start(QStringLiteral(BRV_SEAT), seatArgs({"create", "2", start, dir.path()}));
    b.start(QStringLiteral(BRV_SEAT), seatArgs({"create", "2", start, dir.path()}));
    ASSERT_TRUE(a.waitForFinished(30000) && b.waitForFinished(30000));
    const QString ra = QString::fromUtf8(a.readAllStandardOutput()).trimmed();
    const QString rb = QString::fromUtf8(b.readAllStandardOutput()).trimmed();
    EXPECT_EQ(QSet<QString>({ra, rb}), QSet<QString>({QStringLiteral("saved 2"), QStringLiteral("saved 3")}))
        << ra.toStdString() << " / " << rb.toStdString();
    BrvSql q(QStringLiteral("SELECT COUNT(*) FROM MANDANTEN WHERE FIRMA STARTING WITH 'Sitz '"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q->asInt(0), 2);
    q->closeCursor();
    BrvCommit();
}

TEST_F(MultiSeatTest, ClientHeldByAnotherSeatIsShownButCannotBeSaved) {
    QProcess anna;
    anna.start(QStringLiteral(BRV_SEAT), seatArgs({"take", "3", "1", "0"}));
    ASSERT_TRUE(anna.waitForFinished(30000));
    ASSERT_EQ(QString::fromUtf8(anna.readAllStandardOutput()).trimmed(), QStringLiteral("0"));

    // This seat: the application on the same server database.
    QTemporaryDir data;
    qputenv("BRENVIK_DATA_DIR", data.path().toUtf8());
    platform::IniProfile ini(brenvik::IniFilePath());
    ini.writeString("BRENVIK-DB", "DATABASE", name);
    ini.writeString("BRENVIK-DB", "DBTYPE", "EXTERN");
    ini.writeString("BRENVIK-DB", "DBU", user);
    ini.writeString("BRENVIK-DB", "DBP", password);
    {
        TfrmBrenvik w;
        w.StartUp();
        ASSERT_TRUE(w.bServer);
        auto* tree = w.findChild<QTreeWidget*>(QStringLiteral("tvBrenvik"));
        tree->setCurrentItem(tree->topLevelItem(0)->child(0)->child(0));
        QElapsedTimer t;
        t.start();
        w.TreeClick();
        EXPECT_LT(t.elapsed(), (fb::Transaction::lockTimeoutSeconds() + 1) * 1000);
        ASSERT_FALSE(dialogs.calls.isEmpty());
        EXPECT_TRUE(dialogs.calls.last().text.startsWith(
            QStringLiteral("Der aktuell gewaehlt Mandant wird bereits von einem \r\nanderen Benutzer <anna> bearbeitet.")));
        EXPECT_EQ(w.findChild<QLineEdit*>(QStringLiteral("edFirma"))->text(), QStringLiteral("Muster"));
        EXPECT_FALSE(w.findChild<QPushButton*>(QStringLiteral("btnSpeichern"))->isEnabled());
        w.close();
    }
    qunsetenv("BRENVIK_DATA_DIR");
    SetBrvConnection(&db, &tr);
    QString holder;
    EXPECT_EQ(MandantLock(true, 5, 1, holder), 2); // anna's lock survived the other seat's visit and close
    EXPECT_EQ(holder, QStringLiteral("anna"));
}

} // namespace
