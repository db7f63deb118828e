#include "db/brenvik_config.h"
#include "core/convert.h"
#include "support/fixtures.h"

#include <QElapsedTimer>

#include <chrono>
#include <thread>

namespace {

class ConfigTest : public SchemaDbTest {
protected:
    void addUser(int nr, const QString& login) {
        BrvExec(
            QStringLiteral("INSERT INTO BENUTZER (BRV_MANDANT_NR, INSERT_TS, BENUTZER_NR, LOGIN) VALUES (1, ?, ?, ?)"),
            SqlTs{BrvNow()}, nr, login);
        BrvCommit();
    }
    void addClient(int nr) {
        BrvExec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, ?, ?)"), nr,
                QStringLiteral("Firma %1").arg(nr));
        BrvCommit();
    }
};

TEST_F(ConfigTest, KonfigurationInsertUpdateAndMissingKey) {
    EXPECT_THROW(GetKonfiguration(QStringLiteral("BACKUP_FOLDER")), EBrvException_NODATA);
    try {
        GetKonfiguration(QStringLiteral("X"));
    } catch (const EBrvException_NODATA& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Parameter nicht gesetzt"));
    }
    SetKonfiguration(QStringLiteral("BACKUP_FOLDER"), QStringLiteral("D:\\Archiv"));
    SetKonfiguration(QStringLiteral("BACKUP_FOLDER"), QStringLiteral("D:\\O'Neil's Archiv"));
    EXPECT_EQ(GetKonfiguration(QStringLiteral("BACKUP_FOLDER")), QStringLiteral("D:\\O'Neil's Archiv"));
    SetKonfiguration(QStringLiteral("key'); DROP TABLE MANDANTEN; --"), QStringLiteral("v"));
    EXPECT_EQ(GetKonfiguration(QStringLiteral("key'); DROP TABLE MANDANTEN; --")), QStringLiteral("v"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM KONFIGURATIONEN WHERE MANDANT_NR = 0")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM MANDANTEN")), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM KONFIGURATIONEN WHERE UPDATE_TS IS NOT NULL")), 1);
}

TEST_F(ConfigTest, MandantLockBelongsToTheSeat) {
    addUser(3, QStringLiteral("meier"));
    addUser(5, QStringLiteral("schulz"));
    addClient(2);
    QString holder;
    EXPECT_EQ(MandantLock(false, 1, 1, holder), 0); // the fixture's lock given back
    EXPECT_EQ(MandantLock(true, 3, 1, holder), 0);
    EXPECT_EQ(MandantLock(true, 3, 1, holder), 0); // this seat holds it already
    EXPECT_TRUE(MandantLockHeldHere(1));
    Seat other(dbFile);
    holder.clear();
    EXPECT_EQ(other.run([&] { return MandantLock(true, 5, 1, holder); }), kLockHeld);
    EXPECT_EQ(holder, QStringLiteral("meier"));
    holder.clear();
    // The same login on a second seat is refused like anybody else.
    EXPECT_EQ(other.run([&] { return MandantLock(true, 3, 1, holder); }), kLockHeld);
    EXPECT_EQ(holder, QStringLiteral("meier"));
    EXPECT_FALSE(other.run([] { return MandantLockHeldHere(1); }));
    // A give-back or a release-all of the other seat leaves this seat's lock.
    EXPECT_EQ(other.run([&] { return MandantLock(false, 3, 1, holder); }), kLockHeld);
    EXPECT_EQ(other.run([&] { return MandantLock(false, 3, -1, holder); }), kLockNoHolder);
    EXPECT_EQ(scalar(QStringLiteral("SELECT BENUTZER_NR_LOCK FROM MANDANTEN WHERE MANDANT_NR = 1")), "3");
    EXPECT_EQ(MandantLock(true, 3, 2, holder), 0);
    EXPECT_EQ(MandantLock(true, 3, 99, holder), 1); // no such client
    EXPECT_EQ(MandantLock(false, 3, 0, holder), 0); // release-all of two locks in one statement
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM MANDANTEN WHERE BENUTZER_NR_LOCK IS NOT NULL")), 0);
    EXPECT_EQ(MandantLock(false, 3, -1, holder), 1); // nothing left to release
    EXPECT_EQ(MandantLock(false, 3, 1, holder), 1);  // give-back of an unlocked client
    SetBrvConnection(nullptr, nullptr);
    EXPECT_EQ(MandantLock(true, 3, 1, holder), 100); // database failure
    SetBrvConnection(db, tr);
}

TEST_F(ConfigTest, LockOfAVanishedSeatIsTakenOverAndAnOldLockCanBeFreed) {
    addUser(5, QStringLiteral("schulz"));
    addClient(2);
    QStringList log;
    SetBrvLogSink([&log](const QString& code, const QString& text) { log << code + QStringLiteral(": ") + text; });
    QString holder;
    {
        Seat crashed(dbFile);
        ASSERT_EQ(crashed.run([&] { return MandantLock(true, 5, 2, holder); }), kLockDone);
        MandantLockInfo info;
        EXPECT_FALSE(UnlockAbandonedMandant(2, info)); // its seat is alive
        EXPECT_EQ(info.login, QStringLiteral("schulz"));
        EXPECT_FALSE(info.holderGone);
        crashed.close(); // gone without giving anything back
    }
    EXPECT_TRUE(GetMandantLockInfo(2).holderGone);
    EXPECT_EQ(MandantLock(true, 1, 2, holder), kLockDone);
    EXPECT_TRUE(MandantLockHeldHere(2));
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith(QStringLiteral("BRV000300: Die Sperre des Mandanten 2 wurde übernommen")))
        << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(QStringLiteral("<schulz>")));

    // A lock of an older release names no seat: refused, until it is freed on request.
    exec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = 5, LOCK_ATTACHMENT = NULL WHERE MANDANT_NR = 2"));
    EXPECT_EQ(MandantLock(true, 1, 2, holder), kLockHeld);
    MandantLockInfo info;
    EXPECT_TRUE(UnlockAbandonedMandant(2, info));
    EXPECT_EQ(info.login, QStringLiteral("schulz"));
    EXPECT_EQ(MandantLock(true, 1, 2, holder), kLockDone);
    SetBrvLogSink({});
}

TEST_F(ConfigTest, UsersAreNumberedAndStamped) {
    EXPECT_EQ(GetMaxBenutzerNr(), 1);
    EXPECT_TRUE(RegisterBenutzerLogin(QStringLiteral("o'hara")));
    TBrenvikBenutzer u;
    GetBenutzer(QStringLiteral("o'hara"), u);
    EXPECT_EQ(u.benutzer_nr, 2);
    EXPECT_EQ(u.login, QStringLiteral("o'hara"));
    EXPECT_GT(u.letzter_login, 0);
    EXPECT_EQ(u.update_ts, 0);
    EXPECT_TRUE(RegisterBenutzerLogin(QStringLiteral("o'hara")));
    GetBenutzer(QStringLiteral("o'hara"), u);
    EXPECT_EQ(u.benutzer_nr, 2);
    EXPECT_GT(u.update_ts, 0);
    try {
        GetBenutzer(QStringLiteral("niemand"), u);
        FAIL();
    } catch (const EBrvException_NODATA& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Keine Daten verfuegbar"));
    }
    // Login names of real networks fit (the schema check widened the column).
    EXPECT_TRUE(RegisterBenutzerLogin(QStringLiteral("vorname.nachname@firma-mit-langem-namen.de")));
    EXPECT_TRUE(RegisterBenutzerLogin(QStringLiteral("a").repeated(128)));
    EXPECT_THROW(RegisterBenutzerLogin(QStringLiteral("a").repeated(129)), Exception);
    BrvRollback();
}

TEST_F(ConfigTest, ALockMeetingAnotherSeatsChangeFailsFast) {
    BrvCommit();
    OtherSeat other(dbFile, QStringLiteral("UPDATE MANDANTEN SET FIRMA = 'anderer Platz' WHERE MANDANT_NR = 1"));
    const int timeout = fb::Transaction::lockTimeoutSeconds();
    QElapsedTimer took;
    took.start();
    QString holder;
    EXPECT_EQ(MandantLock(true, 1, 1, holder), kLockDbError);
    EXPECT_LT(took.elapsed(), 2500);                           // not the eight seconds of three full waits
    EXPECT_EQ(fb::Transaction::lockTimeoutSeconds(), timeout); // other operations keep their wait
    other.rollback();
    EXPECT_EQ(MandantLock(true, 1, 1, holder), kLockDone);
}

TEST_F(ConfigTest, TwoSeatsRegisteringAtOnceBothGetANumber) {
    // Another seat has taken the next number and commits while this one waits to insert the same number.
    const int next = GetMaxBenutzerNr() + 1;
    BrvCommit();
    OtherSeat other(dbFile, QStringLiteral("INSERT INTO BENUTZER (BRV_MANDANT_NR, INSERT_TS, BENUTZER_NR, LOGIN) "
                                           "VALUES (1, CURRENT_TIMESTAMP, %1, 'erster')")
                                .arg(next));
    std::thread commitLater([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        other.commit();
    });
    const bool registered = RegisterBenutzerLogin(QStringLiteral("zweiter"));
    commitLater.join();
    EXPECT_TRUE(registered);
    TBrenvikBenutzer u;
    GetBenutzer(QStringLiteral("zweiter"), u);
    EXPECT_EQ(u.benutzer_nr, next + 1);
}

TEST_F(ConfigTest, BusinessTypesAndLookups) {
    auto found = SearchBetriebsarten(QStringLiteral("Bau"));
    ASSERT_TRUE(found.has_value());
    bool hochbau = false, maschinenbau = false;
    for (const auto& b : *found) {
        EXPECT_TRUE(b.betriebsart_bez.contains(QStringLiteral("bau"), Qt::CaseInsensitive));
        hochbau |= b.betriebsart_nr == QLatin1String("41");
        maschinenbau |= b.betriebsart_nr == QLatin1String("28");
    }
    EXPECT_TRUE(hochbau && maschinenbau);
    EXPECT_EQ(SearchBetriebsarten(QString())->size(), kBetriebsartenCount);
    EXPECT_TRUE(SearchBetriebsarten(QStringLiteral("100%"))->isEmpty());
    TBrenvikBetriebsarten b;
    GetBetriebsart(QStringLiteral("28"), b);
    EXPECT_EQ(b.betriebsart_bez, QStringLiteral("Maschinenbau"));
    GetBetriebsart(QStringLiteral("'"), b);
    EXPECT_TRUE(b.betriebsart_bez.isEmpty());
    EXPECT_TRUE(ExistsBetriebsart(QStringLiteral("28.4")));
    EXPECT_FALSE(ExistsBetriebsart(QStringLiteral("28' OR '1'='1")));
    EXPECT_EQ(GetAnlagentypen()->size(), 3);
    EXPECT_EQ(GetAnlagentypen()->at(1).bezeichnung, QStringLiteral("KFZ"));
    EXPECT_FALSE(GetStandortTypen()->isEmpty());
    SetBrvConnection(nullptr, nullptr);
    EXPECT_FALSE(SearchBetriebsarten(QStringLiteral("Bau")).has_value());
    EXPECT_FALSE(GetAnlagentypen().has_value());
    EXPECT_FALSE(ExistsBetriebsart(QStringLiteral("28")));
    SetBrvConnection(db, tr);
}

TEST_F(ConfigTest, MwstFaktorFollowsTheRateHistory) {
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(1967, 12, 31), EncodeDate(2009, 1, 1)), 1.0);
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(1968, 1, 1), EncodeDate(2009, 1, 1)), 1.19 / 1.10);
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(2006, 5, 1), EncodeDate(2009, 1, 1)), 1.19 / 1.16);
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(1992, 5, 1), EncodeDate(2009, 1, 1)), 1.19 / 1.14);
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(2010, 5, 1), EncodeDate(2019, 1, 1)), 1.0);
    // The second half of 2020 had 16 %.
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(2020, 9, 15) + 0.6, EncodeDate(2024, 1, 1)), 1.19 / 1.16);
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(2020, 6, 30), EncodeDate(2024, 1, 1)), 1.0);
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(2021, 1, 1), EncodeDate(2024, 1, 1)), 1.0);
    EXPECT_DOUBLE_EQ(GetAktuellerMwstFaktor(), 1.19);
    BrvExecDdl(QStringLiteral("DELETE FROM STEUERSAETZE"));
    EXPECT_DOUBLE_EQ(GetMwstFaktor(EncodeDate(2006, 5, 1), EncodeDate(2009, 1, 1)), 1.0);
    EXPECT_DOUBLE_EQ(GetAktuellerMwstFaktor(), 1.0);
}

} // namespace
