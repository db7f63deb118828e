#include "core/convert.h"
#include "support/fixtures.h"

namespace {

class FbLayerTest : public BaseDbTest {
protected:
    void SetUp() override {
        BaseDbTest::SetUp();
        BrvExecDdl(QStringLiteral("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, S SMALLINT, B BIGINT, D DOUBLE "
                                  "PRECISION, TXT VARCHAR(10), C CHAR(3), TS TIMESTAMP, DT DATE, BL BLOB SUB_TYPE "
                                  "TEXT, N NUMERIC(15,2))"));
    }
};

TEST_F(FbLayerTest, TypedBindsRoundTripWithNullsAndQuotes) {
    const TDateTime ts = EncodeDate(2024, 2, 29) + (13 * 3600 + 45 * 60 + 30.5) / 86400.0;
    BrvExec(QStringLiteral("INSERT INTO T (ID, S, B, D, TXT, C, TS, DT, BL, N) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            1, qint16(-7), qint64(1) << 40, 1234.5678, QStringLiteral("O'Brien ä"), QStringLiteral("a"), SqlTs{ts},
            SqlTs{EncodeDate(1899, 12, 30)}, SqlBlob{QStringLiteral("x").repeated(100000) + QStringLiteral("€")},
            12.34);
    BrvExec(QStringLiteral("INSERT INTO T (ID, TXT, TS) VALUES (?, ?, ?)"), 2, SqlNull{}, std::optional<SqlTs>{});
    BrvCommit();

    BrvSql q(QStringLiteral("SELECT ID, S, B, D, TXT, C, TS, DT, BL, N FROM T ORDER BY ID"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q->asInt("ID"), 1);
    EXPECT_EQ(q->asInt("S"), -7);
    EXPECT_EQ(q->asBigInt("B"), qint64(1) << 40);
    EXPECT_DOUBLE_EQ(q->asDouble("D"), 1234.5678);
    EXPECT_EQ(q->asText("TXT"), QStringLiteral("O'Brien ä")); // quote stored verbatim
    EXPECT_EQ(q->asText("C"), QStringLiteral("a"));           // CHAR padding removed
    EXPECT_NEAR(q->asDateTime("TS"), ts, 1e-9);
    EXPECT_EQ(q->asDateTime("DT"), 0.0);
    EXPECT_EQ(q->asText("BL").size(), 100001);
    EXPECT_TRUE(q->asText("BL").endsWith(QStringLiteral("€")));
    EXPECT_DOUBLE_EQ(q->asDouble("N"), 12.34);
    ASSERT_TRUE(q.next());
    EXPECT_TRUE(q->isNull("TXT"));
    EXPECT_TRUE(q->isNull("TS"));
    EXPECT_EQ(q->asText("TXT"), QString());
    EXPECT_EQ(q->asInt("S"), 0);
    EXPECT_FALSE(q.next());
}

TEST_F(FbLayerTest, AffectedRowsAndErrorCodes) {
    for (int i = 1; i <= 5; ++i)
        BrvExec(QStringLiteral("INSERT INTO T (ID, D) VALUES (?, ?)"), i, double(i));
    EXPECT_EQ(BrvExec(QStringLiteral("UPDATE T SET D = D + 1 WHERE ID > ?"), 2), 3);
    EXPECT_EQ(BrvExec(QStringLiteral("DELETE FROM T WHERE ID = ?"), 99), 0);
    BrvCommit();
    try {
        BrvExec(QStringLiteral("INSERT INTO T (ID) VALUES (?)"), 1);
        FAIL() << "duplicate key accepted";
    } catch (const fb::Error& e) {
        EXPECT_EQ(e.sqlcode(), -803);
        EXPECT_TRUE(e.hasCode(335544665));
        EXPECT_FALSE(e.message().isEmpty());
    }
    try {
        BrvExec(QStringLiteral("INSERT INTO T (ID, TXT) VALUES (?, ?)"), 10, QStringLiteral("elf Zeichen"));
        FAIL() << "overlong text accepted";
    } catch (const fb::Error& e) {
        EXPECT_TRUE(e.hasCode(isc_string_truncation));
    }
    BrvRollback();
    EXPECT_THROW(BrvSql(QStringLiteral("SELECT * FROM NO_SUCH_TABLE")), fb::Error);
}

TEST_F(FbLayerTest, TextsLongerThanTheirColumnAreRefusedWholeNeverCut) {
    BrvExecDdl(QStringLiteral("CREATE TABLE L (ID INTEGER NOT NULL, V VARCHAR(100), W VARCHAR(8000))"));
    // At the column's length, umlauts and a character outside the basic plane included: stored as they are.
    const QString hundred =
        QStringLiteral("ä").repeated(98) + QString::fromUcs4(U"\U0001F600", 1) + QStringLiteral("x");
    BrvExec(QStringLiteral("INSERT INTO L (ID, V, W) VALUES (?, ?, ?)"), 1, hundred,
            QStringLiteral("w").repeated(8000));
    BrvCommit();
    EXPECT_EQ(scalar(QStringLiteral("SELECT V FROM L WHERE ID = 1")), hundred);
    // One more, 32,768 and 65,636 characters: a German message, nothing stored, no length field overflows.
    for (const int n : {101, 32768, 65636}) {
        try {
            BrvExec(QStringLiteral("INSERT INTO L (ID, V) VALUES (?, ?)"), 2, QStringLiteral("y").repeated(n));
            FAIL() << n << " characters accepted";
        } catch (const fb::Error& e) {
            EXPECT_TRUE(e.hasCode(isc_string_truncation));
            EXPECT_EQ(e.message(),
                      QStringLiteral("Der Text für \"V\" ist zu lang (%1 Zeichen, höchstens 100 erlaubt).").arg(n));
        }
    }
    // A text compared with a long column, and one too long for any parameter.
    EXPECT_THROW(BrvSql(QStringLiteral("SELECT ID FROM L WHERE W = ?"), QStringLiteral("z").repeated(40000)),
                 fb::Error);
    // Where the text does not tell the column, the value's number and its beginning.
    try {
        BrvExec(QStringLiteral("INSERT INTO L SELECT ?, ?, NULL FROM RDB$DATABASE"), 3,
                QStringLiteral("y").repeated(101));
        FAIL() << "overlong text accepted";
    } catch (const fb::Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Der Text für den Wert 2 ist zu lang (101 Zeichen, höchstens 100 "
                                              "erlaubt). Textanfang: \"%1…\"")
                                   .arg(QStringLiteral("y").repeated(40)));
    }
    BrvRollback();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM L")), 1);
}

// The message names the column by the label the windows give it, found from the statement's text: the column list
// of an INSERT, the assignment of an UPDATE, the comparison of a WHERE; comments, quotes and expressions around the
// "?" do not shift the count.
TEST_F(FbLayerTest, ATextTooLongForItsColumnNamesTheColumn) {
    const QString sixty = QStringLiteral("4").repeated(60);
    const auto refusal = [](const std::function<void()>& statement) {
        try {
            statement();
        } catch (const fb::Error& e) {
            EXPECT_TRUE(e.hasCode(isc_string_truncation));
            return e.message();
        }
        return QStringLiteral("angenommen");
    };
    EXPECT_EQ(refusal([&] {
                  BrvExec(QStringLiteral("INSERT INTO DATENIMPORTE (BRV_MANDANT_NR, MANDANT_NR, ZEILE_NR, KONTO_NR, "
                                         "ANLAGEBEZEICHNUNG) VALUES (?, ?, ?, ?, ?)"),
                          1, 1, 1, sixty, QStringLiteral("Drehbank"));
              }),
              QStringLiteral("Der Text für \"Kontonummer\" ist zu lang (60 Zeichen, höchstens 50 erlaubt)."));
    EXPECT_EQ(refusal([&] {
                  BrvExec(QStringLiteral("INSERT INTO DATENIMPORTE (BRV_MANDANT_NR, MANDANT_NR, ZEILE_NR, KONTO_NR, "
                                         "ZUSAETZE, GRUPPE) VALUES (1, ?, /* Zeile ? */ 7, UPPER(?), 'a,?', ?)"),
                          1, QStringLiteral("k"), QStringLiteral("g").repeated(101));
              }),
              QStringLiteral("Der Text für \"Gruppe\" ist zu lang (101 Zeichen, höchstens 100 erlaubt)."));
    EXPECT_EQ(refusal([&] {
                  BrvExec(QStringLiteral("UPDATE VERSICHERUNGSWERTE v SET v.GRUPPE = ?, NOTIZTEXT = COALESCE(?, "
                                         "NOTIZTEXT) WHERE v.KONTO_NR = ?"),
                          QStringLiteral("g"), QStringLiteral("n").repeated(2001), QStringLiteral("k"));
              }),
              QStringLiteral("Der Text für \"Notiz\" ist zu lang (2001 Zeichen, höchstens 2000 erlaubt)."));
    EXPECT_EQ(refusal([&] {
                  BrvSql(QStringLiteral("SELECT COUNT(*) FROM MANDANTEN WHERE MANDANT_NR = ? AND FIRMA = ?"), 1,
                         QStringLiteral("f").repeated(201));
              }),
              QStringLiteral("Der Text für \"Firma\" ist zu lang (201 Zeichen, höchstens 200 erlaubt)."));
    BrvRollback();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM DATENIMPORTE")), 0);
}

TEST_F(FbLayerTest, ADatabaseOfAnOlderReleaseWithNoneColumnsKeepsItsUmlauts) {
    EXPECT_FALSE(db->legacyWin1252());
    const QString file = path(QStringLiteral("alt.fdb"));
    fb::Database::create(file, QStringLiteral("SYSDBA"), QStringLiteral("x"), "NONE");
    fb::Database old;
    old.open(file, QStringLiteral("SYSDBA"), QStringLiteral("x"));
    EXPECT_TRUE(old.legacyWin1252()); // no tables yet: the database's default character set tells
    {
        fb::Transaction t(old);
        t.start();
        fb::executeImmediate(
            old, t, QStringLiteral("CREATE TABLE MANDANTEN (NR INTEGER, FIRMA VARCHAR(12), NOTIZ BLOB SUB_TYPE TEXT)"));
        t.commit();
        t.start();
        // Bytes as the older release wrote them: Windows-1252.
        fb::executeImmediate(old, t,
                             QStringLiteral("INSERT INTO MANDANTEN VALUES (1, x'42E4636B65726569', x'4EF6746980')"));
        t.commit();
    }
    old.close();
    old.open(file, QStringLiteral("SYSDBA"), QStringLiteral("x"));
    ASSERT_TRUE(old.legacyWin1252());
    fb::Transaction t(old);
    {
        fb::Query q(old, QStringLiteral("SELECT FIRMA, NOTIZ FROM MANDANTEN WHERE NR = 1"));
        q->execute(t);
        ASSERT_TRUE(q->fetch());
        EXPECT_EQ(q->asText(0), QStringLiteral("Bäckerei"));
        EXPECT_EQ(q->asText(1), QStringLiteral("Nöti€"));
        q->closeCursor();
    }
    {
        fb::Query ins(old, QStringLiteral("INSERT INTO MANDANTEN VALUES (2, ?, ?)"));
        ins->bindText(0, QStringLiteral("Müller € ł"));
        ins->bindBlobText(1, QStringLiteral("Straße"));
        ins->execute(t);
        // The column holds twelve characters, each one byte here.
        ins->bindText(0, QStringLiteral("ä").repeated(13));
        EXPECT_THROW(ins->execute(t), fb::Error);
    }
    {
        fb::Query q(old, QStringLiteral("SELECT FIRMA, OCTET_LENGTH(FIRMA), NOTIZ FROM MANDANTEN WHERE FIRMA = ?"));
        q->bindText(0, QStringLiteral("Müller € ?")); // found by a bound text as well
        q->execute(t);
        ASSERT_TRUE(q->fetch());
        EXPECT_EQ(q->asText(0), QStringLiteral("Müller € ?")); // what Windows-1252 lacks cannot be kept
        EXPECT_EQ(q->asInt(1), 10);                            // one byte per character, as the older release reads it
        EXPECT_EQ(q->asText(2), QStringLiteral("Straße"));
        q->closeCursor();
    }
    t.rollback();
}

TEST_F(FbLayerTest, PreparedStatementsSurviveCommitsAndNestedUse) {
    for (int i = 1; i <= 3; ++i) {
        BrvExec(QStringLiteral("INSERT INTO T (ID) VALUES (?)"), i);
        BrvCommit(); // the cached statement runs again in the next transaction
    }
    int outer = 0, inner = 0;
    BrvSql a(QStringLiteral("SELECT ID FROM T ORDER BY ID"));
    while (a.next()) {
        ++outer;
        BrvSql b(QStringLiteral("SELECT ID FROM T ORDER BY ID")); // same text while the first cursor is open
        while (b.next())
            ++inner;
    }
    EXPECT_EQ(outer, 3);
    EXPECT_EQ(inner, 9);
}

TEST(FbTimestamp, DayCountConversionIsExact) {
    const ISC_TIMESTAMP ts = fb::toIscTimestamp(EncodeDate(1970, 1, 1) + 0.5);
    EXPECT_EQ(ts.timestamp_date, 40587);
    EXPECT_EQ(ts.timestamp_time, 43200u * 10000u);
    EXPECT_DOUBLE_EQ(fb::fromIscTimestamp(ts), EncodeDate(1970, 1, 1) + 0.5);
    // A fraction that rounds to a whole day moves to the next day instead of a time past midnight.
    const ISC_TIMESTAMP late = fb::toIscTimestamp(EncodeDate(2000, 1, 1) + 0.99999999999);
    EXPECT_EQ(late.timestamp_date, fb::toIscTimestamp(EncodeDate(2000, 1, 2)).timestamp_date);
    EXPECT_EQ(late.timestamp_time, 0u);
}

TEST(FbConnection, NotConnectedOperationsFailWithDatabaseError) {
    SetBrvConnection(nullptr, nullptr);
    EXPECT_FALSE(BrvConnected());
    EXPECT_THROW(BrvExec(QStringLiteral("DELETE FROM T")), EBrvException_DBERROR);
    fb::Database db;
    EXPECT_THROW(db.open(QStringLiteral("/nonexistent/folder/x.fdb"), QStringLiteral("SYSDBA"), QStringLiteral("x")),
                 fb::Error);
}

TEST_F(FbLayerTest, TheEnginesFailuresAreSaidInGermanItsOwnWordsOnlyInTheLog) {
    const QString junk = writeFile(QStringLiteral("kaputt.fdb"), QByteArray(65536, 'x'));
    const auto openFails = [&](const QString& file) {
        fb::Database other;
        try {
            other.open(file, QStringLiteral("SYSDBA"), QStringLiteral("x"));
        } catch (const fb::Error& e) {
            return e.message();
        }
        return QString();
    };
    fb::setStatementLog(false);
    EXPECT_EQ(openFails(junk), QStringLiteral("Die Datei ist keine gültige Firebird-Datenbank."));
    EXPECT_TRUE(
        openFails(path(QStringLiteral("fehlt/x.fdb"))).startsWith(QStringLiteral("Die Datenbankdatei kann nicht")));
    fb::setStatementLog(true);
    const QString verbose = openFails(junk);
    EXPECT_TRUE(verbose.startsWith(QStringLiteral("Die Datei ist keine gültige Firebird-Datenbank. (")));
    EXPECT_TRUE(verbose.contains(QStringLiteral("not a valid database"))) << verbose.toStdString();
}

} // namespace

namespace {
QStringList* gLogged = nullptr;
void keepMessage(QtMsgType, const QMessageLogContext& ctx, const QString& msg) {
    if (gLogged && QByteArray(ctx.category) == "brenvik.db")
        gLogged->append(msg);
}
} // namespace

TEST_F(FbLayerTest, AFailingStatementIsLoggedWithItsTextAndCodes) {
    QStringList logged;
    gLogged = &logged;
    const QtMessageHandler before = qInstallMessageHandler(keepMessage);
    EXPECT_THROW(BrvExec(QStringLiteral("INSERT INTO GIBTESNICHT (A) VALUES (?)"), 1), fb::Error);
    BrvRollback();
    qInstallMessageHandler(before);
    gLogged = nullptr;
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].startsWith(QStringLiteral("prepare fehlgeschlagen, SQLCODE -204 Codes ")))
        << logged[0].toStdString();
    EXPECT_TRUE(logged[0].contains(QStringLiteral("335544569"))); // isc_dsql_error
    EXPECT_TRUE(logged[0].endsWith(QStringLiteral("| SQL: INSERT INTO GIBTESNICHT (A) VALUES (?)")))
        << logged[0].toStdString();
    // Turned off, the failure still reaches the caller, but nothing is logged.
    logged.clear();
    gLogged = &logged;
    qInstallMessageHandler(keepMessage);
    fb::setStatementLog(false);
    EXPECT_THROW(BrvExec(QStringLiteral("INSERT INTO GIBTESNICHT (A) VALUES (?)"), 1), fb::Error);
    fb::setStatementLog(true);
    BrvRollback();
    qInstallMessageHandler(before);
    gLogged = nullptr;
    EXPECT_TRUE(logged.isEmpty()) << logged.join('\n').toStdString();
}
