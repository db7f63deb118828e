#include "tools/shipped_data.h"
#include "support/fixtures.h"

#include <QDir>
#include <QFile>

#include <cmath>

namespace {

const QString kRepo = QStringLiteral(BRENVIK_SOURCE_DIR);

QByteArray bytesOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("fehlt");
}

class ShippedDataTest : public TempDirTest {};

// The committed files are exactly what the generator makes of the committed source tables.
TEST_F(ShippedDataTest, FilesMatchTheirSourceTables) {
    const ShippedData d = ReadShippedDataSources(kRepo + QStringLiteral("/data/quellen"));
    for (const QString& name : WriteShippedDataFiles(d, tmp.path()))
        EXPECT_EQ(bytesOf(path(name)), bytesOf(kRepo + QStringLiteral("/data/") + name))
            << name.toStdString() << " weicht ab: brenvik-make-data neu ausführen";
}

TEST_F(ShippedDataTest, SeriesCoverTheYearsTheValuationNeeds) {
    const ShippedData d = ReadShippedDataSources(kRepo + QStringLiteral("/data/quellen"));
    QHash<int, QMap<int, double>> series;
    for (const IndexValueRecord& v : d.values)
        series[v.kategorie].insert(v.jahr, v.wert);
    ASSERT_TRUE(series.contains(443));
    const int last = series[443].lastKey();
    for (const IndexDescriptionRecord& r : d.descriptions) {
        const QMap<int, double>& s = series[r.kategorie];
        EXPECT_EQ(s.firstKey(), 1960) << r.kategorie;
        EXPECT_EQ(s.lastKey(), last) << r.kategorie; // one reference year for all
        EXPECT_EQ(s.size(), last - 1960 + 1) << r.kategorie;
        for (double v : s)
            EXPECT_GT(v, 0) << r.kategorie;
        if (r.kategorie < 894) {
            EXPECT_GT(r.nutzungsdauer, 0) << r.kategorie;
            EXPECT_TRUE(r.text.contains(QStringLiteral("(Beispieldaten)"))) << r.kategorie;
        }
    }
    // The building series meet the year-2000 values the building valuation falls back to, and follow the
    // published building price index between 2000 and 2022.
    EXPECT_EQ(series[894][2000], 26.8966);
    EXPECT_EQ(series[895][2000], 26.6957);
    EXPECT_EQ(series[900][2000], 6.369);
    EXPECT_EQ(series[1021][2000], 4.89872821479039);
    EXPECT_NEAR(series[894][2022] / series[894][2000], 147.8 / 77.4, 1e-6);
    EXPECT_NEAR(series[895][2015] / series[895][2000], 100.0 / 75.5, 1e-6);
    EXPECT_NEAR(series[1021][2022] / series[1021][2000], 150.6 / 73.9, 1e-6);
    for (const TGebType& t : d.types) {
        EXPECT_TRUE(series.contains(t.INDEXNR)) << t.PID.toStdString();
        EXPECT_TRUE(t.RICHTPREISART.contains(QStringLiteral("EUR")) || t.RICHTPREISART.contains(QStringLiteral("MK")));
        EXPECT_LE(t.RICHTPREISART.size(), 10); // the width of the table column
        EXPECT_LE(t.RICHTBASISEINH.size(), 3);
    }
}

TEST_F(ShippedDataTest, ABrokenSourceTableNamesItsLine) {
    for (const QString& f : QDir(kRepo + QStringLiteral("/data/quellen")).entryList(QDir::Files))
        QFile::copy(kRepo + QStringLiteral("/data/quellen/") + f, path(f));
    writeFile(QStringLiteral("verlaeufe.csv"), "VERLAUF;JAHR;WERT;HERKUNFT\nMASCHINEN;1960;viel;Beispieldaten\n");
    try {
        ReadShippedDataSources(tmp.path());
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), QStringLiteral("verlaeufe.csv, Zeile 2: \"viel\" in WERT ist keine Zahl."));
    }
}

} // namespace
