// The index update files: their bytes, the import in one piece, the export of one year.

#include "assets/index_files.h"
#include "core/convert.h"
#include "db/indexwerte.h"
#include "support/fixtures.h"

#include "assets/frm_indexupdate.h"
#include "platform/dialogs.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

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

class IndexFileGuardTest : public IndexFileDbTest {
protected:
    QString dir;
    void SetUp() override {
        IndexFileDbTest::SetUp();
        dir = path(QStringLiteral("update"));
        exec(QStringLiteral(
            "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 1, 'Alt')"));
        exec(QStringLiteral(
            "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 1, 2024, 91)"));
    }
    // The descriptions and the values as one text: equal texts, unchanged series.
    QString series() {
        QStringList texts, values;
        {
            BrvSql q(QStringLiteral("SELECT INDEX_TEXT FROM INDEXBESCHREIBUNGEN ORDER BY KATEGORIE_NR"));
            while (q.next())
                texts << q->asText(0);
        }
        BrvSql q(QStringLiteral("SELECT KATEGORIE_NR, INDEXJAHR, INDEXWERT FROM INDEXWERTE ORDER BY 1, 2"));
        while (q.next())
            values << QStringLiteral("%1:%2=%3").arg(q->asInt(0)).arg(q->asInt(1)).arg(q->asDouble(2));
        BrvCommit();
        return texts.join(QLatin1Char(',')) + QLatin1Char('/') + values.join(QLatin1Char(','));
    }
};

TEST_F(IndexFileGuardTest, AValueThatIsNoPositiveNumberRefusesTheWholeUpdate) {
    const QString before = series();
    const struct {
        double value;
        const char* shown;
    } bad[] = {{std::numeric_limits<double>::quiet_NaN(), "NaN"},
               {std::numeric_limits<double>::infinity(), "+unendlich"},
               {0.0, "0"},
               {-1.0, "-1"}};
    for (const auto& b : bad) {
        SCOPED_TRACE(b.shown);
        // The bad value is the third record, of another year than the first: everything before it is sound.
        writeFiles({{7, 70, 0, QStringLiteral("Neu"), {}, QStringLiteral("1"), 5}},
                   {{7, 2024, 101.0}, {8, 2024, 102.0}, {9, 2025, b.value}, {10, 2025, 104.0}}, dir);
        bool asked = false;
        try {
            ImportIndexFiles(dir, [&](const QString&) { return asked = true; });
            FAIL() << "the update was taken";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Die Datei %1 enthält im Datensatz 3 (Kategorie 9, Jahr 2025) den "
                                                  "ungültigen Indexwert %2; ein Indexwert muss eine Zahl größer als "
                                                  "0 sein.\r\nDie Indexdaten wurden nicht geändert.")
                                       .arg(dir + QStringLiteral("/idx_ex.dat"), QLatin1String(b.shown)));
        }
        EXPECT_FALSE(asked); // refused before the question
        EXPECT_EQ(series(), before);
    }
    // The sound file goes through.
    writeFiles({{7, 70, 0, QStringLiteral("Neu"), {}, QStringLiteral("1"), 5}}, {{7, 2024, 0.5}}, dir);
    EXPECT_EQ(ImportIndexFiles(dir, {}).values, 1);
    EXPECT_EQ(series(), QStringLiteral("Neu/7:2024=0.5"));
}

TEST_F(IndexFileGuardTest, AFileWithoutRecordsIsTakenOnlyWhenTheAnswerIsYes) {
    const QString before = series();
    const QString descriptionFile = dir + QStringLiteral("/idxb_ex.dat");
    const QString valueFile = dir + QStringLiteral("/idx_ex.dat");
    QStringList asked;
    const auto answer = [&asked](bool yes) {
        return [&asked, yes](const QString& file) {
            asked << file;
            return yes;
        };
    };
    // Empty descriptions: No, or no one to ask, changes nothing and names the file.
    writeFiles({}, {{7, 2024, 101.0}}, dir);
    IndexImportResult r = ImportIndexFiles(dir, {}, {}, answer(false));
    EXPECT_EQ(asked, QStringList{descriptionFile});
    EXPECT_EQ(r.refusedEmptyFile, descriptionFile);
    EXPECT_EQ(ImportIndexFiles(dir, {}).refusedEmptyFile, descriptionFile);
    EXPECT_EQ(series(), before);
    EXPECT_EQ(EmptyIndexFileQuestion(descriptionFile),
              QStringLiteral("Die Datei %1 enthält keine Datensätze. Soll die Tabelle trotzdem geleert werden?")
                  .arg(descriptionFile));
    // Yes empties the descriptions and takes the values.
    r = ImportIndexFiles(dir, {}, {}, answer(true));
    EXPECT_TRUE(r.refusedEmptyFile.isEmpty());
    EXPECT_EQ(series(), QStringLiteral("/7:2024=101"));

    // Empty values: the file carries no year, so a yes takes the descriptions and leaves every value alone.
    asked.clear();
    writeFiles({{7, 70, 0, QStringLiteral("Neu"), {}, QStringLiteral("1"), 5}}, {}, dir);
    EXPECT_EQ(ImportIndexFiles(dir, {}, {}, answer(false)).refusedEmptyFile, valueFile);
    EXPECT_EQ(series(), QStringLiteral("/7:2024=101"));
    r = ImportIndexFiles(
        dir, [](const QString&) -> bool { throw Exception(QStringLiteral("no year to confirm")); }, {}, answer(true));
    EXPECT_TRUE(r.confirmed);
    EXPECT_EQ(series(), QStringLiteral("Neu/7:2024=101"));
    EXPECT_EQ(asked, (QStringList{valueFile, valueFile}));
    EXPECT_TRUE(EmptyIndexFileQuestion(valueFile).startsWith(
        QStringLiteral("Die Datei %1 enthält keine Datensätze. ").arg(valueFile)));
}

// The window asks with No as the default; the scripted answer decides, and No keeps the tables.
TEST_F(IndexFileGuardTest, TheWindowAsksBeforeAnEmptyFileEmptiesATable) {
    writeFiles({}, {{7, 2024, 101.0}}, dir);
    const QString before = series();
    Tfrm_Indexaktualisierung w;
    w.findChild<QLineEdit*>(QStringLiteral("edFoldername"))->setText(dir);
    w.ShowFiles();
    dialogs.calls.clear();
    dialogs.answers = {platform::MsgResult::No};
    w.findChild<QPushButton*>(QStringLiteral("btnUebernehmen"))->click();
    ASSERT_EQ(dialogs.calls.size(), 2);
    const QString descriptionFile = dir + QStringLiteral("/idxb_ex.dat");
    EXPECT_EQ(dialogs.calls[0].text,
              QStringLiteral("Die Datei %1 enthält keine Datensätze. Soll die Tabelle trotzdem geleert werden?")
                  .arg(descriptionFile));
    EXPECT_EQ(dialogs.calls[0].buttons, platform::MsgButtons::YesNoDefaultNo);
    EXPECT_EQ(dialogs.calls[1].text,
              QStringLiteral("Die Datei %1 enthält keine Datensätze. Die Indexdaten wurden nicht geändert.")
                  .arg(descriptionFile));
    EXPECT_EQ(series(), before);

    // Without a scripted answer the question's default (No) holds as well.
    dialogs.calls.clear();
    w.findChild<QPushButton*>(QStringLiteral("btnUebernehmen"))->click();
    EXPECT_EQ(series(), before);

    // A building file without records: No keeps the catalogue, Yes empties it.
    writeFile(QStringLiteral("update/DataAufzug.dat"), QByteArray());
    exec(QStringLiteral("INSERT INTO TABGEBAUFZUG (PID) VALUES ('A1')"));
    QFile::remove(descriptionFile);
    w.ShowFiles();
    dialogs.calls.clear();
    dialogs.answers = {platform::MsgResult::Yes, platform::MsgResult::No};
    w.findChild<QPushButton*>(QStringLiteral("btnUebernehmen"))->click();
    ASSERT_EQ(dialogs.calls.size(), 3);
    EXPECT_EQ(dialogs.calls[0].text, QStringLiteral("Aktualisierung der Gebäudedaten ausführen?"));
    EXPECT_EQ(dialogs.calls[1].buttons, platform::MsgButtons::YesNoDefaultNo);
    EXPECT_TRUE(dialogs.calls[2].text.startsWith(
        QStringLiteral("Die Datei %1/DataAufzug.dat enthält keine Datensätze und wurde nicht übernommen.").arg(dir)));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBAUFZUG")), 1);
    dialogs.calls.clear();
    dialogs.answers = {platform::MsgResult::Yes, platform::MsgResult::Yes};
    w.findChild<QPushButton*>(QStringLiteral("btnUebernehmen"))->click();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM TABGEBAUFZUG")), 0);
    EXPECT_EQ(dialogs.calls.last().text,
              QStringLiteral("Die Aktualisierung der Gebäude-Daten wurde erfolgreich abgeschlossen. "));
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
