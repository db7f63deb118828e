#include "building/gebtypes.h"
#include "support/fixtures.h"

#include <QDir>

#include <cstring>

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

    // The writer gives back the very bytes the reader took, and cuts a wide text after 2001 units.
    EXPECT_EQ(EncodeGebTypeRecord(DecodeGebTypeRecord(a.constData())), a);
    EXPECT_EQ(EncodeGebTypeRecord(DecodeGebTypeRecord(b.constData())), b);
    TGebType longText;
    longText.AUSFGUT = QStringLiteral("ä").repeated(2500);
    const QByteArray cut = EncodeGebTypeRecord(longText);
    EXPECT_EQ(DecodeGebTypeRecord(cut.constData()).AUSFGUT, QStringLiteral("ä").repeated(2001));
    EXPECT_EQ(cut.mid(20530, 1), QByteArray(1, '\0')); // the next field starts untouched
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
    writeFile(QStringLiteral("DataGebTypes.dat"), one);
    ImportGebTypeDAT(tmp.path());
    putShort(one, 0, "B1");
    writeFile(QStringLiteral("DataGebTypes.dat"), one + one + QByteArray(100, '\0'));
    EXPECT_THROW(ImportGebTypeDAT(tmp.path()), EBrvCommonException);
    // Nothing of the damaged file: the catalogue is the one before it.
    EXPECT_EQ(scalar(QStringLiteral("SELECT LIST(PID) FROM TABGEBTYPES")), QStringLiteral("A1"));
}

TEST_F(GebTypesTest, ComponentsAndElevatorsReplaceTheirCatalogues) {
    auto shortText = [](QByteArray& rec, int at, const QByteArray& cp1252) {
        rec[at] = char(cp1252.size());
        std::memcpy(rec.data() + at + 1, cp1252.constData(), size_t(cp1252.size()));
    };
    auto putDouble = [](QByteArray& rec, int at, double v) { std::memcpy(rec.data() + at, &v, 8); };
    auto putInt = [](QByteArray& rec, int at, qint32 v) { std::memcpy(rec.data() + at, &v, 4); };
    QByteArray bauteile;
    for (int i = 1; i <= 2; ++i) {
        QByteArray rec(kGebBauteilRecordSize, '\x7f'); // filler is ignored
        shortText(rec, 0, "B" + QByteArray::number(i));
        shortText(rec, 256, "Gaube \xe4 \x80");
        putDouble(rec, 512, 100.5 * i);
        putDouble(rec, 520, 200.25);
        shortText(rec, 528,
                  "St\xfc"
                  "ck");
        putInt(rec, 784, 3 - i);
        shortText(rec, 788, QByteArray());
        bauteile += rec;
    }
    QByteArray aufzug(kGebAufzugRecordSize, '\0');
    shortText(aufzug, 0, "A1");
    shortText(aufzug, 256, "Personenaufzug");
    shortText(aufzug, 512, "630 kg");
    putInt(aufzug, 768, 4);
    putDouble(aufzug, 776, 40000);
    putDouble(aufzug, 784, 60000);
    putDouble(aufzug, 792, 3000);
    putDouble(aufzug, 800, 5000);
    shortText(aufzug, 808, "Anlage");
    // Filler bytes are not kept: a written record has zeros where the read one had 0x7f.
    QByteArray clean(kGebBauteilRecordSize, '\0');
    shortText(clean, 0, "B1");
    shortText(clean, 256, "Gaube \xe4 \x80");
    putDouble(clean, 512, 100.5);
    putDouble(clean, 520, 200.25);
    shortText(clean, 528,
              "St\xfc"
              "ck");
    putInt(clean, 784, 2);
    EXPECT_EQ(EncodeGebBauteilRecord(DecodeGebBauteilRecord(bauteile.constData())), clean);
    EXPECT_EQ(EncodeGebAufzugRecord(DecodeGebAufzugRecord(aufzug.constData())), aufzug);

    const QString folder = path(QStringLiteral("bau"));
    QDir().mkpath(folder);
    TGebDataImport importer;
    EXPECT_EQ(importer.ImportUpdateData(folder), QStringLiteral("Keine Daten importiert"));
    writeFile(QStringLiteral("bau/DataAufzug.dat"), aufzug + aufzug.left(10));
    EXPECT_THROW(importer.ImportUpdateData(folder), EBrvCommonException); // a broken record stops it
    writeFile(QStringLiteral("bau/DataAufzug.dat"), aufzug);
    EXPECT_EQ(importer.ImportUpdateData(folder),
              QStringLiteral("Es wurden 1 Datensätze in Aufzugsanlagen importiert.\r\n"));
    writeFile(QStringLiteral("bau/DataBauteile.dat"), bauteile);
    EXPECT_EQ(importer.ImportUpdateData(folder),
              QStringLiteral("Es wurden 2 Datensätze in Bauteile importiert.\r\n"
                             "Es wurden 1 Datensätze in Aufzugsanlagen importiert.\r\n"));
    const QList<TGebBauteil> b = GetGebBauteile();
    ASSERT_EQ(b.size(), 2);
    EXPECT_EQ(b[0].PID, QStringLiteral("B2")); // ordered by position
    EXPECT_EQ(b[0].Caption, QStringLiteral("Gaube ä €"));
    EXPECT_EQ(b[0].Minpreis, 201.0);
    EXPECT_EQ(b[0].Einheit, QStringLiteral("Stück"));
    EXPECT_EQ(b[1].Pos, 2);
    EXPECT_TRUE(b[1].Sonst.isEmpty());
    const QList<TGebAufzug> a = GetGebAufzuege();
    ASSERT_EQ(a.size(), 1);
    EXPECT_EQ(a[0].Nutzlast, QStringLiteral("630 kg"));
    EXPECT_EQ(a[0].Haltestellen, 4);
    EXPECT_EQ(a[0].ExtrahaltestelleMax, 5000.0);
    // A truncated or refused file leaves the catalogue as it was, and says which record failed.
    writeFile(QStringLiteral("bau/DataBauteile.dat"), bauteile + bauteile.left(1000));
    try {
        importer.ImportBauteileDAT(folder);
        FAIL() << "a truncated file was imported";
    } catch (const EBrvCommonException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Datensatz 3 hat nur 1000 von 1048 Bytes")))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("Die bisherigen Daten bleiben unverändert.")));
    }
    EXPECT_EQ(GetGebBauteile().size(), 2);
    // A damaged third file keeps the other two from being replaced as well.
    writeFile(QStringLiteral("bau/DataBauteile.dat"), bauteile.left(1048));
    writeFile(QStringLiteral("bau/DataGebTypes.dat"), QByteArray(100, 'x'));
    EXPECT_THROW(importer.ImportUpdateData(folder), EBrvCommonException);
    EXPECT_EQ(GetGebBauteile().size(), 2);
    QFile::remove(path(QStringLiteral("bau/DataGebTypes.dat")));
    QByteArray refused = bauteile.left(1048) + bauteile.left(1048);
    refused[0] = char(60); // a key of 60 characters, longer than the column
    refused.replace(1, 60, QByteArray(60, 'K'));
    writeFile(QStringLiteral("bau/DataBauteile.dat"), refused);
    try {
        importer.ImportBauteileDAT(folder);
        FAIL() << "a refused record was imported";
    } catch (const EBrvCommonException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Datensatz 1 wurde von der Datenbank abgewiesen")))
            << e.message().toStdString();
    }
    EXPECT_EQ(GetGebBauteile().size(), 2);
    writeFile(QStringLiteral("bau/DataBauteile.dat"), QByteArray());
    importer.ImportBauteileDAT(folder); // an empty file empties its table
    EXPECT_TRUE(GetGebBauteile().isEmpty());
}

// Every column of every row, in key order: two dumps are equal exactly when the table is unchanged.
QString dumpTable(const char* table, const char* order) {
    QString out;
    BrvSql q(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(QLatin1String(table), QLatin1String(order)));
    while (q.next()) {
        for (int c = 0; c < q->columnCount(); ++c)
            out += (q->isNull(c) ? QStringLiteral("<null>") : q->asText(c)) + QLatin1Char('|');
        out += QLatin1Char('\n');
    }
    return out;
}

class GebUpdateSetTest : public GebTypesTest {
protected:
    QString folder;
    QString catalogues() {
        return dumpTable("TABGEBBAUTEILE", "PID") + dumpTable("TABGEBAUFZUG", "PID") + dumpTable("TABGEBTYPES", "PID");
    }
    void SetUp() override {
        GebTypesTest::SetUp();
        folder = path(QStringLiteral("set"));
        QDir().mkpath(folder);
        TGebBauteil b;
        b.PID = QStringLiteral("alt-B");
        b.Caption = QStringLiteral("Alte Gaube");
        b.Minpreis = 10.25;
        InsertGebBauteil(b);
        TGebAufzug a;
        a.PID = QStringLiteral("alt-A");
        a.Haltestellen = 3;
        InsertGebAufzug(a);
        TGebType t;
        t.PID = QStringLiteral("alt-T");
        t.DESCRIPTION = QStringLiteral("Altbau");
        InsertGebType(t);
    }
    // A complete, sound set of the three files with one new record each.
    void writeSet() {
        TGebBauteil b;
        b.PID = QStringLiteral("neu-B");
        TGebAufzug a;
        a.PID = QStringLiteral("neu-A");
        TGebType t;
        t.PID = QStringLiteral("neu-T");
        writeFile(QStringLiteral("set/DataBauteile.dat"), EncodeGebBauteilRecord(b));
        writeFile(QStringLiteral("set/DataAufzug.dat"), EncodeGebAufzugRecord(a));
        writeFile(QStringLiteral("set/DataGebTypes.dat"), EncodeGebTypeRecord(t));
    }
};

TEST_F(GebUpdateSetTest, AFileTheDatabaseRefusesLeavesAllThreeCataloguesAsTheyWere) {
    const QString before = catalogues();
    ASSERT_TRUE(before.contains(QStringLiteral("alt-T")));
    writeSet();
    // The building types are written last: their refusal comes after two catalogues were replaced already.
    failOn(QStringLiteral("TABGEBTYPES"), "INSERT");
    try {
        TGebDataImport().ImportUpdateData(folder);
        FAIL() << "a refused building type was imported";
    } catch (const EBrvCommonException& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("DataGebTypes.dat konnte nicht übernommen werden")))
            << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("Keiner der Gebäude-Kataloge wurde geändert.")));
    }
    stopFailing();
    EXPECT_FALSE(BrvUnitOfWork::open());
    EXPECT_EQ(catalogues(), before);
    // Also for what another seat sees, and once more after a reconnect.
    reopen();
    EXPECT_EQ(catalogues(), before);

    // A text too long for its column is refused the same way, here in the second file.
    writeSet();
    TGebAufzug tooLong;
    tooLong.PID = QString(200, QLatin1Char('P'));
    writeFile(QStringLiteral("set/DataAufzug.dat"), EncodeGebAufzugRecord(tooLong));
    EXPECT_THROW(TGebDataImport().ImportUpdateData(folder), EBrvCommonException);
    EXPECT_EQ(catalogues(), before);

    // The sound set replaces all three.
    writeSet();
    EXPECT_EQ(TGebDataImport().ImportUpdateData(folder),
              QStringLiteral("Es wurden 1 Datensätze in Bauteile importiert.\r\n"
                             "Es wurden 1 Datensätze in Aufzugsanlagen importiert.\r\n"
                             "Es wurden 1 Datensätze in Gebäudetypen importiert.\r\n"));
    const QString after = catalogues();
    EXPECT_FALSE(after.contains(QStringLiteral("alt-")));
    EXPECT_EQ(after.count(QStringLiteral("neu-")), 3);
}

TEST_F(GebUpdateSetTest, AFileWithoutRecordsEmptiesItsTableOnlyWhenTheAnswerIsYes) {
    const QString before = catalogues();
    writeSet();
    writeFile(QStringLiteral("set/DataAufzug.dat"), QByteArray());
    QStringList asked;
    const auto answer = [&asked](bool yes) {
        return [&asked, yes](const QString& file) {
            asked << EmptyCatalogueQuestion(file);
            return yes;
        };
    };
    try {
        TGebDataImport().ImportUpdateData(folder, answer(false));
        FAIL() << "an empty file emptied its table without a yes";
    } catch (const EBrvEmptyFileRefused& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("DataAufzug.dat enthält keine Datensätze")));
    }
    EXPECT_EQ(asked, QStringList{QStringLiteral("Die Datei %1 enthält keine Datensätze. Soll die Tabelle trotzdem "
                                                "geleert werden?")
                                     .arg(folder + QStringLiteral("/DataAufzug.dat"))});
    EXPECT_EQ(catalogues(), before); // not even the two sound files were taken
    EXPECT_THROW(TGebDataImport().ImportUpdateData(folder), EBrvEmptyFileRefused); // no one to ask: refused
    EXPECT_EQ(catalogues(), before);

    EXPECT_EQ(TGebDataImport().ImportUpdateData(folder, answer(true)),
              QStringLiteral("Es wurden 1 Datensätze in Bauteile importiert.\r\n"
                             "Es wurden 0 Datensätze in Aufzugsanlagen importiert.\r\n"
                             "Es wurden 1 Datensätze in Gebäudetypen importiert.\r\n"));
    EXPECT_TRUE(GetGebAufzuege().isEmpty());
    EXPECT_EQ(GetGebBauteile().size(), 1);
}

} // namespace

#include "building/gebhelper.h"

namespace {

TEST_F(GebTypesTest, HelperListsConditionsAndSettings) {
    TGlobalBuildingHelper h;
    EXPECT_EQ(h.GetAllZustandTypes(), (QStringList{"Nachlässige Instandhaltung", "Normale Instandhaltung",
                                                   "Sorgfältige Instandhaltung", "Sehr sorgfältige Instandhaltung"}));
    EXPECT_FALSE(h.GetAllValuesOfType(QStringLiteral("DACH")).has_value());
    exec(QStringLiteral("INSERT INTO TABGEBSETTINGS (SettingID, SettingTypeID, SettingValue, SettingOrderKey) VALUES "
                        "('S2', 'DACH', 'Flachdach', 2)"));
    exec(QStringLiteral("INSERT INTO TABGEBSETTINGS (SettingID, SettingTypeID, SettingValue, SettingOrderKey) VALUES "
                        "('S1', 'DACH', 'Satteldach', 1)"));
    exec(QStringLiteral("INSERT INTO TABGEBSETTINGS (SettingID, SettingTypeID, SettingValue, SettingOrderKey) VALUES "
                        "('S3', 'x''); --', 'Andere', 1)"));
    EXPECT_EQ(*h.GetAllValuesOfType(QStringLiteral("DACH")), (QStringList{"Satteldach", "Flachdach"}));
    EXPECT_EQ(*h.GetAllValuesOfType(QStringLiteral("x'); --")), QStringList{"Andere"});
}

} // namespace
