#include "building/gebtypes.h"
#include "support/fixtures.h"

namespace {

void putShort(QByteArray& r, int off, const QByteArray& latin1) {
    r[off] = char(latin1.size());
    r.replace(off + 1, latin1.size(), latin1);
}
void putWide(QByteArray& r, int off, const QString& s) {
    for (int i = 0; i < s.size(); ++i) {
        r[off + 2 * i] = char(s[i].unicode() & 0xff);
        r[off + 2 * i + 1] = char(s[i].unicode() >> 8);
    }
}
void putInt(QByteArray& r, int off, qint32 v) {
    for (int i = 0; i < 4; ++i)
        r[off + i] = char((quint32(v) >> (8 * i)) & 0xff);
}

class GebTypesTest : public SchemaDbTest {};

TEST_F(GebTypesTest, ImportReplacesTheCatalogue) {
    QByteArray a(kGebTypeRecordSize, '\0');
    putShort(a, 0, "A1");
    putShort(a, 256, "B\xfcrogeb\xe4ude"); // Windows-1252 umlauts
    putInt(a, 512, 60);
    putInt(a, 516, 80);
    putWide(a, 520, QStringLiteral("x").repeated(2001)); // all units used, no terminating zero
    putWide(a, 4522, QStringLiteral("Rohbau \u20ac"));
    putShort(a, 20530, "1.234,00");
    putInt(a, 21556, 894);
    putShort(a, 21560, "MK");
    putShort(a, 21816, "m3");
    putShort(a, 22072, "Quelle");
    putShort(a, 22328, "1");
    QByteArray b(kGebTypeRecordSize, '\0');
    putShort(b, 0, "A2"); // every other short text has length 0
    exec(QStringLiteral("INSERT INTO TABGEBTYPES (PID, GEBCAPTION) VALUES ('old', 'alt')"));
    writeFile(QStringLiteral("DataGebTypes.dat"), a + b);

    EXPECT_EQ(ImportGebTypeDAT(tmp.path()), QStringLiteral("Es wurden 2 Datensätze in Gebäudetypen importiert."));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBTYPES")), 2);
    BrvSql q(QStringLiteral("SELECT GEBCAPTION, LIFETIMEMIN, LIFETIMEMAX, DESCRIPTION, AUSFROHBAU, RICHTPROH, INDEXNR, "
                            "RICHTPREISART, RICHTBASISEINH, HERKUNFT, UST FROM TABGEBTYPES ORDER BY PID"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q->asText(0), QStringLiteral("Bürogebäude"));
    EXPECT_EQ(q->asInt(1), 60);
    EXPECT_EQ(q->asInt(2), 80);
    EXPECT_EQ(q->asText(3).size(), 2001);
    EXPECT_EQ(q->asText(4), QStringLiteral("Rohbau €"));
    EXPECT_EQ(q->asText(5), QStringLiteral("1.234,00"));
    EXPECT_EQ(q->asInt(6), 894);
    EXPECT_EQ(q->asText(7), QStringLiteral("MK"));
    EXPECT_EQ(q->asText(8), QStringLiteral("m3"));
    EXPECT_EQ(q->asText(10), QStringLiteral("1"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q->asText(0), QString());
    EXPECT_EQ(q->asText(3), QString());
}

TEST_F(GebTypesTest, AbsentEmptyAndTruncatedFiles) {
    exec(QStringLiteral("INSERT INTO TABGEBTYPES (PID, GEBCAPTION) VALUES ('old', 'alt')"));
    EXPECT_EQ(ImportGebTypeDAT(tmp.path()), QString()); // no file: table untouched
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBTYPES")), 1);

    writeFile(QStringLiteral("DataGebTypes.dat"), QByteArray());
    EXPECT_EQ(ImportGebTypeDAT(tmp.path() + QLatin1Char('/')),
              QStringLiteral("Es wurden 0 Datensätze in Gebäudetypen importiert."));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBTYPES")), 0);

    QByteArray one(kGebTypeRecordSize, '\0');
    putShort(one, 0, "A1");
    writeFile(QStringLiteral("DataGebTypes.dat"), one + QByteArray(100, '\0'));
    EXPECT_THROW(ImportGebTypeDAT(tmp.path()), EBrvCommonException);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBTYPES")), 1); // the complete record stays
}

} // namespace
