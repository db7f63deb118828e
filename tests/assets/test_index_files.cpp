// The index update files: their bytes, the import in one piece, the export of one year.

#include "assets/index_files.h"
#include "core/convert.h"
#include "db/indexwerte.h"
#include "support/fixtures.h"

#include <QDir>
#include <QFile>

namespace {

TEST(IndexFiles, ShortTextsAndRecordsByteForByte) {
    const QByteArray t = EncodeShortText(QStringLiteral("Bürostühle €"));
    ASSERT_EQ(t.size(), 256);
    EXPECT_EQ(quint8(t[0]), 12);
    EXPECT_EQ(t.mid(1, 12), QByteArray("B\xfcrost\xfchle \x80"));
    EXPECT_EQ(t.mid(13), QByteArray(243, '\0'));
    EXPECT_EQ(DecodeShortText(t.constData()), QStringLiteral("Bürostühle €"));
    const QByteArray longText = EncodeShortText(QString(300, QLatin1Char('x')));
    EXPECT_EQ(quint8(longText[0]), 255);
    EXPECT_EQ(DecodeShortText(longText.constData()).size(), 255);
    // Filler after the length is ignored, whatever it holds.
    QByteArray dirty = EncodeShortText(QStringLiteral("ab"));
    dirty[5] = 'z';
    EXPECT_EQ(DecodeShortText(dirty.constData()), QStringLiteral("ab"));

    const QByteArray v = EncodeIndexValue({443, 2024, 123.5});
    EXPECT_EQ(v, QByteArray::fromHex("bb010000e80700000000000000e05e40"));
    const QByteArray d = EncodeIndexDescription(
        {443, 4430, 1, QStringLiteral("Maschinen"), QStringLiteral("28.4"), QStringLiteral("1"), 10});
    ASSERT_EQ(d.size(), 784);
    EXPECT_EQ(d.left(12), QByteArray::fromHex("bb0100004e11000001000000"));
    EXPECT_EQ(d.mid(12, 10), QByteArray("\x09Maschinen"));
    EXPECT_EQ(d.mid(268, 5), QByteArray("\x04"
                                        "28.4"));
    EXPECT_EQ(d.mid(524, 2), QByteArray("\x01"
                                        "1"));
    EXPECT_EQ(d.mid(780), QByteArray::fromHex("0a000000"));
}

class IndexFileDbTest : public SchemaDbTest {
protected:
    void writeFiles(const QList<IndexDescriptionRecord>& ds, const QList<IndexValueRecord>& vs, const QString& dir) {
        QByteArray d, v;
        for (const auto& r : ds)
            d += EncodeIndexDescription(r);
        for (const auto& r : vs)
            v += EncodeIndexValue(r);
        QDir().mkpath(dir);
        QFile fd(dir + QStringLiteral("/idxb_ex.dat")), fv(dir + QStringLiteral("/idx_ex.dat"));
        ASSERT_TRUE(fd.open(QIODevice::WriteOnly) && fv.open(QIODevice::WriteOnly));
        fd.write(d);
        fv.write(v);
    }
};

TEST_F(IndexFileDbTest, ImportReplacesOneYearAndAllDescriptionsOrNothing) {
    exec(QStringLiteral(
        "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 1, 'Alt')"));
    exec(QStringLiteral(
        "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 1, 2023, 90)"));
    exec(QStringLiteral(
        "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 1, 2024, 91)"));
    const QString dir = path(QStringLiteral("update"));
    writeFiles({{443, 4430, 0, QStringLiteral("  Maschinen ä "), QStringLiteral(" 28 "), QStringLiteral("1"), 10}},
               {{443, 2024, 101.5}}, dir); // one record each: imported
    QString asked;
    IndexImportResult r = ImportIndexFiles(dir, [&](const QString& q) {
        asked = q;
        return false;
    });
    EXPECT_EQ(asked, QStringLiteral("Bitte bestätigen Sie den Import der Indexdaten für das Jahr 2024."));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDEXBESCHREIBUNGEN")), 1); // No changes nothing
    EXPECT_EQ(scalar(QStringLiteral("SELECT INDEX_TEXT FROM INDEXBESCHREIBUNGEN")), QStringLiteral("Alt"));
    r = ImportIndexFiles(dir, [](const QString&) { return true; });
    EXPECT_EQ(r.descriptions, 1);
    EXPECT_EQ(r.values, 1);
    EXPECT_EQ(scalar(QStringLiteral("SELECT INDEX_TEXT FROM INDEXBESCHREIBUNGEN")), QStringLiteral("Maschinen ä"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT GP_SYSTEMATIK FROM INDEXBESCHREIBUNGEN")), QStringLiteral("28"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDEXWERTE WHERE INDEXJAHR = 2023")), 1); // other years stay
    EXPECT_EQ(GetIndexwert(443, EncodeDate(2024, 1, 1)), 101.5);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDEXWERTE WHERE INDEXJAHR = 2024")), 1);

    // A value file that breaks halfway (the same key twice) leaves everything as it was.
    writeFiles({{7, 70, 0, QStringLiteral("Neu"), {}, QStringLiteral("1"), 5}}, {{7, 2024, 1.0}, {7, 2024, 2.0}}, dir);
    EXPECT_THROW(ImportIndexFiles(dir, [](const QString&) { return true; }), Exception);
    EXPECT_EQ(scalar(QStringLiteral("SELECT INDEX_TEXT FROM INDEXBESCHREIBUNGEN")), QStringLiteral("Maschinen ä"));
    EXPECT_EQ(GetIndexwert(443, EncodeDate(2024, 1, 1)), 101.5);

    // Short and missing files are refused before anything is touched.
    QFile cut(dir + QStringLiteral("/idx_ex.dat"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(QByteArray(20, '\0'));
    cut.close();
    try {
        ImportIndexFiles(dir, [](const QString&) { return true; });
        FAIL();
    } catch (const Exception& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("unvollständig")));
    }
    EXPECT_THROW(ImportIndexFiles(path(QStringLiteral("leer")), {}), Exception);
}

TEST_F(IndexFileDbTest, AFileOfSeveralYearsReplacesEachOfThem) {
    const QString dir = path(QStringLiteral("alle"));
    writeFiles({{443, 1, 0, QStringLiteral("Maschinen"), {}, QStringLiteral("1"), 10}},
               {{443, 2023, 90.0}, {443, 2024, 95.0}}, dir);
    EXPECT_NO_THROW(ImportIndexFiles(dir, {}));
    writeFiles({{443, 1, 0, QStringLiteral("Maschinen"), {}, QStringLiteral("1"), 10}},
               {{443, 2023, 91.0}, {443, 2024, 96.0}, {443, 2022, 80.0}}, dir);
    QString asked;
    const IndexImportResult r = ImportIndexFiles(dir, [&](const QString& q) {
        asked = q;
        return true;
    });
    EXPECT_EQ(asked, QStringLiteral("Bitte bestätigen Sie den Import der Indexdaten für die Jahre 2022 bis 2024."));
    EXPECT_EQ(r.values, 3);
    EXPECT_EQ(GetIndexwert(443, EncodeDate(2023, 6, 1)), 91.0);
    EXPECT_EQ(GetIndexwert(443, EncodeDate(2024, 6, 1)), 96.0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM INDEXWERTE")), 3);
}

TEST_F(IndexFileDbTest, ExportOfOneYearReadsBack) {
    exec(QStringLiteral(
        "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_NR, INDEX_TEXT, GP_SYSTEMATIK, "
        "SICHTBAR, NUTZUNGSDAUER) VALUES (1, 612, 6120, 'Büromöbel € ''Spezial''', 'GP', '1', 8)"));
    BrvExec(QStringLiteral("UPDATE INDEXBESCHREIBUNGEN SET INDEX_TEXT = ? WHERE KATEGORIE_NR = 612"),
            QStringLiteral("Büromöbel € 'Spezial' ") + QString(300, QLatin1Char('x')));
    BrvCommit();
    for (int y : {2022, 2023})
        exec(QStringLiteral(
                 "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 612, %1, %2)")
                 .arg(y)
                 .arg(y - 1900));
    const IndexExportResult r = ExportIndexFiles(tmp.path(), 2023);
    EXPECT_EQ(r.valueFile, tmp.path() + QStringLiteral("/idx_ex.dat2023"));
    EXPECT_EQ(r.descriptionFile, tmp.path() + QStringLiteral("/idxb_ex.dat2023"));
    EXPECT_EQ(r.values, 1);
    const auto values = ReadIndexValueFile(r.valueFile);
    ASSERT_EQ(values.size(), 1);
    EXPECT_EQ(values[0].jahr, 2023);
    EXPECT_EQ(values[0].wert, 123.0);
    const auto ds = ReadIndexDescriptionFile(r.descriptionFile);
    ASSERT_EQ(ds.size(), 1);
    EXPECT_EQ(ds[0].text.size(), 255); // cut to a short text
    EXPECT_TRUE(ds[0].text.startsWith(QStringLiteral("Büromöbel € 'Spezial' x")));
    EXPECT_EQ(ds[0].nutzungsdauer, 8);
}

} // namespace
