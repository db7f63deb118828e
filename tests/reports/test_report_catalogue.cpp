#include "reports/report_catalogue.h"
#include "core/convert.h"
#include "support/fixtures.h"

#include <QDate>

namespace {

class ReportCatalogueTest : public SchemaDbTest {
protected:
    QList<QStringList> rows(const ReportSql& s) {
        QList<QStringList> out;
        fb::Query q(BrvRequireDb(), s.sql);
        for (int i = 0; i < s.params.size(); ++i)
            q->bindInt(i, s.params[i]);
        q->execute(BrvActiveTrans());
        while (q->fetch()) {
            QStringList r;
            for (int c = 0; c < q->columnCount(); ++c)
                r << q->asText(c);
            out << r;
        }
        return out;
    }
    void asset(int nr, const char* konto, double ahk, int kategorie, const char* foto, const char* bearbeitung = "0") {
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                               "KONTO_NR, ANLAGEBEZEICHNUNG, AHK, KATEGORIE_NR, ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, "
                               "GELOESCHT, GEBAEUDE, BEARBEITUNG, DATEINAME_FOTO, VERSICHERUNGSWERT) "
                               "VALUES (1, 1, ?, 0, ?, 'Anlage', ?, ?, ?, 2010, '0', '0', ?, ?, 100)"),
                nr, QString::fromLatin1(konto), ahk, kategorie, SqlTs{EncodeDate(2010, 5, 1)},
                QString::fromLatin1(bearbeitung), QString::fromLatin1(foto));
        BrvCommit();
    }
};

TEST_F(ReportCatalogueTest, NamesKeysAndTheListedReports) {
    EXPECT_EQ(PrepareReportStatements(QStringLiteral("report_20_position_ii_ohne_gruppierung"), 1, 2012).key,
              QStringLiteral("REPORT_20_POSITION_II_OHNE_GRUPPIERUNG"));
    EXPECT_TRUE(IsReportListed(QStringLiteral("anlageverzeichnis")));
    EXPECT_FALSE(IsReportListed(QStringLiteral("Anlageverzeichnis")));
    EXPECT_FALSE(IsReportListed(QStringLiteral("report_images")));
    EXPECT_TRUE(IsReportListed(QStringLiteral("REPORT_41_VORSORGESUMME")));
    try {
        PrepareReportStatements(QStringLiteral("Report_99"), 1, 2012);
        FAIL();
    } catch (const EBrvUnknownReport& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Bericht ist nicht bekannt. Bitte informieren Sie den Softwarehersteller."));
    }
    const ReportStatements building = PrepareReportStatements(QStringLiteral("REPORT_11_GEBAEUDEWERT"), 1, 2012);
    EXPECT_TRUE(building.buildingReport);
    EXPECT_TRUE(building.pictures.isEmpty());
    EXPECT_EQ(ReportKeys().size(), 25);
}

// Every statement of the catalogue runs on the database, with no value spliced into its text.
TEST_F(ReportCatalogueTest, EveryStatementRuns) {
    asset(1, "0400", 100, 443, "bild.jpg");
    for (const QString& key : ReportKeys()) {
        const ReportStatements r = PrepareReportStatements(key, 1, 2012);
        for (const ReportSql* s : {&r.rows, &r.pictures, &r.keyFigures}) {
            if (s->isEmpty())
                continue;
            EXPECT_FALSE(s->sql.contains(QLatin1Char('#'))) << key.toStdString();
            EXPECT_EQ(s->sql.count(QLatin1Char('?')), s->params.size()) << key.toStdString();
            EXPECT_NO_THROW(rows(*s)) << key.toStdString() << ": " << s->sql.toStdString();
        }
        if (!r.buildingReport && key != QLatin1String("REPORT_40_VORSORGEABRECHNUNG")) {
            EXPECT_TRUE(r.pictures.sql.contains(QStringLiteral("v.DATEINAME_FOTO <> ''"))) << key.toStdString();
        }
    }
}

TEST_F(ReportCatalogueTest, NewestIndexYearAndPictureRows) {
    exec(QStringLiteral(
        "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 443, 'M')"));
    exec(QStringLiteral(
        "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 500, 'E')"));
    for (int y : {2010, 2012})
        exec(QStringLiteral(
                 "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 443, %1, 100)")
                 .arg(y));
    exec(QStringLiteral(
        "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 500, 2010, 100)"));
    asset(1, "0400", 100, 443, "a.jpg");
    asset(2, "0410", 100, 500, "b.jpg"); // no value in 2012: missing from the index reports
    asset(3, "0420", 0, 443, "c.jpg", "1");
    asset(4, "0430", 0, 443, "", "1");
    const ReportStatements r =
        PrepareReportStatements(QStringLiteral("REPORT_20_POSITION_II_OHNE_GRUPPIERUNG"), 1, 2012);
    EXPECT_EQ(r.rows.params, (QList<int>{2012, 1}));
    const QList<QStringList> listed = rows(r.rows);
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0][2], QStringLiteral("0400"));
    EXPECT_EQ(rows(r.pictures).size(), 1);

    // Edited assets: also with acquisition cost 0; the attachment only those above 0 with a photo.
    const ReportStatements edited =
        PrepareReportStatements(QStringLiteral("REPORT_23_BEARBEITETE_POSITIONEN"), 1, 2012);
    EXPECT_EQ(rows(edited.rows).size(), 2);
    EXPECT_EQ(rows(edited.pictures).size(), 0);
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET AHK = 5 WHERE ANLAGE_NR = 3"));
    EXPECT_EQ(rows(edited.pictures).size(), 1);
    // Another client's number finds nothing.
    EXPECT_TRUE(rows(PrepareReportStatements(QStringLiteral("ANLAGEVERZEICHNIS"), 2, 2012).rows).isEmpty());
    EXPECT_EQ(rows(PrepareReportStatements(QStringLiteral("ANLAGEVERZEICHNIS"), 1, 2012).rows).size(), 4);
}

TEST_F(ReportCatalogueTest, ProvisionParametersNeedLastYearsKeyFigures) {
    EXPECT_FALSE(ReportVorsorgeParameters(1));
    const int last = QDate::currentDate().year() - 1;
    BrvExec(QStringLiteral("INSERT INTO KENNZAHLEN_HIST (BRV_MANDANT_NR, MANDANT_NR, BILANZJAHR, VORSORGESUMME) VALUES "
                           "(1, 1, ?, 10000)"),
            last);
    BrvExec(QStringLiteral(
                "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                "ANSCHAFFUNGSDATUM, VERSICHERUNGSWERT, GELOESCHT, ABGANGSJAHR) VALUES (1, 1, 1, 0, ?, 1500, '0', 0)"),
            SqlTs{EncodeDate(last, 3, 1)});
    BrvCommit();
    const auto p = ReportVorsorgeParameters(1);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->first, QStringLiteral("1.500,00 €"));
    EXPECT_EQ(p->second, QStringLiteral("8.500,00 €"));
    const ReportStatements r = PrepareReportStatements(QStringLiteral("REPORT_40_VORSORGEABRECHNUNG"), 1, 2012);
    EXPECT_TRUE(r.pictures.isEmpty());
    const QList<QStringList> figures = rows(r.keyFigures);
    ASSERT_EQ(figures.size(), 1);
    EXPECT_EQ(figures[0][1], QString::number(last));
}

} // namespace
