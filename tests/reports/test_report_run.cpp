#include "building/frm_gebchoice.h"
#include "reports/frm_reports.h"
#include "building/gebdata.h"
#include "core/convert.h"
#include "platform/paths.h"
#include "reports/report_engine.h"
#include "reports/table_layout.h"
#include "reports/report_run.h"
#include "reports/report_page_view.h"
#include "reports/report_workbook.h"
#include "import/workbook.h"
#include "building/gebbericht.h"
#include "building/gebprepare.h"
#include "building/gebtypes.h"
#include "support/fixtures.h"
#include "support/widgets.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTest>
#include <QRadioButton>
#include <QTextDocument>
#include <QTreeWidget>

#include <zip.h>

namespace {

class ReportRunTest : public SchemaDbTest {
protected:
    void SetUp() override {
        SchemaDbTest::SetUp();
        exec(QStringLiteral(
            "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 443, 'M')"));
        for (int y : {2010, 2012})
            exec(QStringLiteral("INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES "
                                "(1, 443, %1, %2)")
                     .arg(y)
                     .arg(y == 2010 ? 100 : 110));
        asset(1, "0400", "Drehbank", 1000.5, "A", "");
        asset(2, "0410", "Fräse", 2000, "A", "");
        asset(3, "0420", "Stapler", 300.25, "B", "");
    }
    void asset(int nr, const char* konto, const char* text, double ahk, const char* gruppe, const char* foto) {
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                               "KONTO_NR, ANLAGEBEZEICHNUNG, AHK, KATEGORIE_NR, ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, "
                               "GELOESCHT, GEBAEUDE, GRUPPE, DATEINAME_FOTO, VERSICHERUNGSWERT) "
                               "VALUES (1, 1, ?, 0, ?, ?, ?, 443, ?, 2010, '0', '0', ?, ?, ?)"),
                nr, QString::fromLatin1(konto), QString::fromUtf8(text), ahk, SqlTs{EncodeDate(2010, 5, 1)},
                QString::fromLatin1(gruppe), QString::fromLatin1(foto), ahk * 1.1);
        BrvCommit();
    }
    // The job of a report run for the sample client on the newest index year of the fixture.
    static ReportJob sampleJob() {
        ReportJob job;
        job.clientNr = 1;
        job.clientName = QStringLiteral("Muster GmbH");
        job.indexYear = 2012;
        return job;
    }
    std::unique_ptr<Tfrm_Reports> window() {
        auto w = std::make_unique<Tfrm_Reports>();
        w->InitializeReportEnv(tmp.path(), tmp.path());
        w->iClientID = 1;
        w->sClientName = QStringLiteral("Muster GmbH (1)");
        w->FormShow();
        return w;
    }
};

TEST_F(ReportRunTest, EveryKeyHasALayoutAndTheListHidesTheSpecialOnes) {
    const ReportProject project = LoadReportProject(ReportProjectPath());
    QStringList layouts;
    for (const ReportLayout& r : project.reports)
        layouts << r.name.toUpper();
    for (const QString& key : ReportKeys())
        EXPECT_TRUE(layouts.contains(key)) << key.toStdString();
    EXPECT_TRUE(layouts.contains(QStringLiteral("REPORT_IMAGES")));
    auto w = window();
    auto* list = child<QTreeWidget>(*w, "lvReports");
    EXPECT_EQ(list->topLevelItemCount(), 20);
    QStringList captions;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        captions << list->topLevelItem(i)->text(0);
    QStringList sorted = captions;
    std::sort(sorted.begin(), sorted.end(),
              [](const QString& a, const QString& b) { return a.localeAwareCompare(b) < 0; });
    EXPECT_TRUE(captions == sorted); // by caption, "Gebäude..." before "Gebrauchte..."
    EXPECT_FALSE(captions.contains(QStringLiteral("Bildanlage")));
    EXPECT_FALSE(captions.contains(QStringLiteral("Anlageverzeichnis")));
    EXPECT_EQ(ReportFileName(QStringLiteral("Anlagen 2011/2012")), QStringLiteral("Anlagen 2011_2012"));
}

// The table a layout makes of the rows, with the German formats: groups, group sums and the total.
TEST_F(ReportRunTest, GroupedTableWithSums) {
    const ReportProject project = LoadReportProject(ReportProjectPath());
    const ReportLayout* layout = project.find(QStringLiteral("Report_21_Position_II_Anlagengruppierung"));
    ASSERT_TRUE(layout);
    const ReportStatements st = PrepareReportStatements(layout->name, 1, 2012);
    const ReportTable t = BuildReportTable(*layout, FetchReportRows(st.rows));
    QStringList text;
    for (const ReportTableLine& l : t.lines)
        text << QString(l.kind) + QLatin1Char('|') + l.cells.join(QLatin1Char('|'));
    EXPECT_EQ(t.headers.join(QLatin1Char('|')),
              QStringLiteral("Konto|Anlagebezeichnung|Anschaffung|AHK|Index|Indexwert Anschaffung|Indexwert aktuell|"
                             "Versicherungswert|Notiz"));
    EXPECT_EQ(text, (QStringList{
                        QStringLiteral("G|Anlagengruppe: A"),
                        QStringLiteral("R|0400|Drehbank|01.05.2010|1.000,50|443|100|110|1.100,55|"),
                        QStringLiteral("R|0410|Fräse|01.05.2010|2.000,00|443|100|110|2.200,00|"),
                        QStringLiteral("S|Summe Anlagengruppe: A (2 Anlagen)|||3.000,50||||3.300,55|"),
                        QStringLiteral("G|Anlagengruppe: B"),
                        QStringLiteral("R|0420|Stapler|01.05.2010|300,25|443|100|110|330,28|"),
                        QStringLiteral("S|Summe Anlagengruppe: B (1 Anlage)|||300,25||||330,28|"),
                        QStringLiteral("T|Gesamtsumme|||3.300,75||||3.630,83|"),
                    }));
}

// Every table report, filled with long texts and nine-digit amounts, is laid out without two texts covering each
// other: columns as wide as their widest value, free texts wrapped, continued groups and carried-forward sums.
TEST_F(ReportRunTest, EveryTableReportIsLaidOutWithoutOverlaps) {
    const QString logo = path(QStringLiteral("Logo.bmp"));
    QImage(200, 80, QImage::Format_RGB32).save(logo);
    const ReportProject project = LoadReportProject(ReportProjectPath());
    const QString longText = QStringLiteral("Computergesteuerte Fünf-Achs-Fräsmaschine mit Werkzeugwechsler, "
                                            "Kühlmittelaufbereitung und Späneförderer (Halle 3, Linie Nord)");
    int laidOut = 0;
    for (const ReportLayout& layout : project.reports) {
        if (layout.columns.isEmpty())
            continue;
        ReportRows rows;
        for (const ReportColumn& c : layout.columns)
            rows.columns << c.field.toUpper();
        if (!layout.group.isEmpty() && !rows.columns.contains(layout.group.toUpper()))
            rows.columns << layout.group.toUpper();
        for (int i = 0; i < 150; ++i) {
            QVariantList row;
            for (const QString& field : std::as_const(rows.columns)) {
                const auto c = std::find_if(layout.columns.cbegin(), layout.columns.cend(),
                                            [&](const ReportColumn& x) { return x.field.toUpper() == field; });
                const QString format = c == layout.columns.cend() ? QString() : c->format;
                if (field == layout.group.toUpper())
                    row << (i < 100 ? QStringLiteral("Maschinen und maschinelle Anlagen") : QStringLiteral("B"));
                else if (format == QLatin1String("amount"))
                    row << 123456789.125 + i;
                else if (format == QLatin1String("number"))
                    row << 443;
                else if (format == QLatin1String("date"))
                    row << EncodeDate(2010, 5, 1);
                else if (format == QLatin1String("flag"))
                    row << QStringLiteral("1");
                else
                    row << (i % 3 == 0 ? longText : QStringLiteral("Kurz"));
            }
            rows.rows << row;
        }
        TableReportOutput report(layout, BuildReportTable(layout, rows),
                                 {{QStringLiteral("pMandantNr"), QStringLiteral("4711")},
                                  {QStringLiteral("pIndexJahr"), QStringLiteral("2024")},
                                  {QStringLiteral("pLogo"), logo},
                                  {QStringLiteral("pFootnoteVersion"), QStringLiteral("Brenvik 2.5")}},
                                 QStringLiteral("Müller & Söhne Metallbau und Anlagentechnik GmbH"));
        QPdfWriter probe(path(QStringLiteral("probe.pdf")));
        probe.setResolution(300);
        const TablePlan& plan = report.plan(&probe);
        const qreal width = probe.pageLayout().paintRectPixels(probe.logicalDpiY()).width();
        ASSERT_GT(plan.pages.size(), 1) << layout.name.toStdString();
        QString all;
        for (int p = 0; p < plan.pages.size(); ++p) {
            const QStringList overlaps = OverlappingTexts(plan.pages[p]);
            EXPECT_TRUE(overlaps.isEmpty())
                << layout.name.toStdString() << " page " << p + 1 << ": " << overlaps.join(" | ").toStdString();
            bool titles = false;
            for (const PlacedText& t : plan.pages[p].texts) {
                EXPECT_LE(t.ink.right(), width + 0.5) << layout.name.toStdString() << ": " << t.text.toStdString();
                EXPECT_FALSE(t.text.contains(QStringLiteral("…"))) << t.text.toStdString(); // nothing cut
                if (!t.wrap) {
                    EXPECT_LE(t.ink.width(), t.rect.width() + 0.5)
                        << layout.name.toStdString() << ": " << t.text.toStdString();
                }
                titles = titles || t.text == layout.columns.first().header ||
                         t.text == layout.columns.first().header + QStringLiteral(" EUR");
                all += t.text + QLatin1Char('\n');
            }
            EXPECT_TRUE(titles) << layout.name.toStdString() << " page " << p + 1;
        }
        EXPECT_TRUE(all.contains(QStringLiteral("Seite 1 von %1").arg(plan.pages.size())));
        EXPECT_TRUE(
            all.contains(QStringLiteral("Mandant: Müller & Söhne Metallbau und Anlagentechnik GmbH (Nr. 4711)")));
        EXPECT_TRUE(all.contains(QStringLiteral("Preisbasis: Indexjahr 2024")));
        EXPECT_TRUE(all.contains(longText)) << layout.name.toStdString(); // wrapped, never cut
        bool summed = false;
        for (const ReportColumn& c : layout.columns)
            summed = summed || c.sum;
        if (!layout.group.isEmpty() && summed) {
            EXPECT_TRUE(all.contains(layout.groupCaption + QStringLiteral("Maschinen und maschinelle Anlagen "
                                                                          "(Fortsetzung)")))
                << layout.name.toStdString();
            EXPECT_TRUE(all.contains(QStringLiteral("Übertrag"))) << layout.name.toStdString();
            EXPECT_TRUE(all.contains(QStringLiteral(" (100 Anlagen)"))) << layout.name.toStdString();
        }
        if (const QByteArray dir = qgetenv("BRENVIK_SCREENSHOT_DIR"); !dir.isEmpty())
            WriteReportPdf(report,
                           QString::fromLocal8Bit(dir) + QLatin1Char('/') + layout.name + QStringLiteral(".pdf"));
        ++laidOut;
    }
    EXPECT_GE(laidOut, 20);
    // The check itself: two texts on one line that cover each other are found.
    PlannedPage crowded;
    crowded.texts << PlacedText{{0, 0, 60, 10}, {0, 0, 60, 10}, QStringLiteral("31.800,00"), 0, 0, false}
                  << PlacedText{{55, 0, 20, 10}, {55, 0, 20, 10}, QStringLiteral("443"), 0, 0, false};
    EXPECT_EQ(OverlappingTexts(crowded), QStringList{QStringLiteral("\"31.800,00\" / \"443\"")});
}

// The provision settlement prints the key figures it is based on after its table.
TEST_F(ReportRunTest, ProvisionSettlementPrintsItsKeyFigures) {
    const int year = QDate::currentDate().year() - 1;
    exec(QStringLiteral("INSERT INTO KENNZAHLEN_HIST (BRV_MANDANT_NR, MANDANT_NR, BILANZJAHR, FERTIGE_ERZ_BILANZ, "
                        "UNFERTIGE_ERZ_BILANZ, LAGER_BSTOFFE_BILANZ, FERTIGE_ERZ_MAX, UNFERTIGE_ERZ_MAX, "
                        "LAGER_BSTOFFE_MAX, VORSORGESUMME, ENDWERTGRENZE) VALUES (1, 1, %1, 1000, 2000, 3000, 1500, "
                        "2500, 3500, 250000, 10)")
             .arg(year));
    ReportJob job = sampleJob();
    job.logoFolder = tmp.path() + QLatin1Char('/');
    const PreparedReport r =
        PrepareReport(LoadReportProject(ReportProjectPath()), QStringLiteral("Report_40_Vorsorgeabrechnung"), job);
    ASSERT_TRUE(r.table);
    QPdfWriter probe(path(QStringLiteral("probe.pdf")));
    probe.setResolution(300);
    const TablePlan& plan = r.table->plan(&probe);
    QStringList texts;
    for (const PlannedPage& page : plan.pages) {
        EXPECT_TRUE(OverlappingTexts(page).isEmpty()) << OverlappingTexts(page).join(" | ").toStdString();
        for (const PlacedText& t : page.texts)
            texts << t.text;
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("Grundlage: Kennzahlen des Bilanzjahres %1").arg(year)))
        << texts.join(" | ").toStdString();
    const qsizetype at = texts.indexOf(QStringLiteral("Bisherige Vorsorgesumme"));
    ASSERT_GE(at, 0);
    EXPECT_EQ(texts.value(at + 1), QStringLiteral("250.000,00 EUR"));
    EXPECT_TRUE(texts.contains(QStringLiteral("10,00 %")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Saldo Zugänge/Abgänge des Vorjahres: ")) ||
                std::any_of(texts.cbegin(), texts.cend(),
                            [](const QString& t) { return t.startsWith(QStringLiteral("Saldo Zugänge/Abgänge")); }));
}

// The printed sums are those of the printed amounts: three rows of 0,005 print as 0,01 each and sum to 0,03.
TEST_F(ReportRunTest, SumsAgreeWithThePrintedRows) {
    const ReportLayout layout = *LoadReportProject(ReportProjectPath()).find(QStringLiteral("Anlageverzeichnis"));
    ReportRows rows;
    for (const ReportColumn& c : layout.columns)
        rows.columns << c.field.toUpper();
    for (int i = 0; i < 3; ++i) {
        QVariantList row;
        for (const ReportColumn& c : layout.columns)
            row << (c.format == QLatin1String("amount") ? QVariant(0.0051) : QVariant(QStringLiteral("x")));
        rows.rows << row;
    }
    const ReportTable t = BuildReportTable(layout, rows);
    ASSERT_EQ(t.lines.last().kind, QLatin1Char('T'));
    for (int c = 0; c < layout.columns.size(); ++c)
        if (layout.columns[c].sum) {
            EXPECT_EQ(t.lines.first().cells[c], QStringLiteral("0,01"));
            EXPECT_EQ(t.lines.last().cells[c], QStringLiteral("0,03"));
        }
}

// A long register is paged: every page has its headings; a printer's page range prints only those pages.
TEST_F(ReportRunTest, LongTablesArePagedAndRangesHonoured) {
    ReportLayout layout = *LoadReportProject(ReportProjectPath()).find(QStringLiteral("Anlageverzeichnis"));
    ReportTable table;
    for (const ReportColumn& c : layout.columns)
        table.headers << c.header;
    for (int i = 0; i < 500; ++i)
        table.lines << ReportTableLine{
            QLatin1Char('R'),
            {QString::number(i), QStringLiteral("Anlage"), {}, QStringLiteral("1,00"), QStringLiteral("1,00")}};
    TableReportOutput report(layout, table, {{QStringLiteral("pFootnoteVersion"), QStringLiteral("Fußnote")}},
                             QStringLiteral("Muster"));
    const QString file = path(QStringLiteral("lang.pdf"));
    // A read-only PDF of the same name is not replaced, and the failure is reported, not a success.
    writeFile(QStringLiteral("lang.pdf"), "altes PDF");
    QFile(file).setPermissions(QFileDevice::ReadOwner);
    EXPECT_THROW(WriteReportPdf(report, file), Exception);
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("altes PDF"));
    old.close();
    EXPECT_TRUE(QDir(tmp.path()).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden).isEmpty());
    QFile(file).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    WriteReportPdf(report, file);
    if (const QByteArray dir = qgetenv("BRENVIK_SCREENSHOT_DIR"); !dir.isEmpty())
        QFile::copy(file, QString::fromLocal8Bit(dir) + QStringLiteral("/bericht_lang.pdf"));
    QPdfWriter probe(path(QStringLiteral("probe.pdf")));
    probe.setResolution(300);
    SetReportPage(&probe, report.landscape);
    const int pages = report.pageCount(&probe);
    EXPECT_GT(pages, 3);
    auto pagesIn = [](const QString& f) {
        QFile pdf(f);
        return pdf.open(QIODevice::ReadOnly) ? int(pdf.readAll().count("/Type /Page\n")) : -1;
    };
    EXPECT_EQ(pagesIn(file), pages);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path(QStringLiteral("range.pdf")));
    printer.setFromTo(2, 3);
    report.print(&printer);
    EXPECT_EQ(pagesIn(path(QStringLiteral("range.pdf"))), 2);
    // A list of pages prints exactly those.
    QPrinter list(QPrinter::HighResolution);
    list.setOutputFormat(QPrinter::PdfFormat);
    list.setOutputFileName(path(QStringLiteral("list.pdf")));
    list.setPageRanges(ParsePageSelection(QStringLiteral("2-3,5"), pages));
    report.print(&list);
    EXPECT_EQ(pagesIn(path(QStringLiteral("list.pdf"))), 3);
}

TEST_F(ReportRunTest, PageSelectionsNameExactlyTheirPages) {
    EXPECT_EQ(ParsePageSelection(QStringLiteral("5"), 16).toRangeList(), (QList<QPageRanges::Range>{{5, 5}}));
    EXPECT_EQ(ParsePageSelection(QStringLiteral("2-3,5"), 16).toRangeList(),
              (QList<QPageRanges::Range>{{2, 3}, {5, 5}}));
    EXPECT_EQ(ParsePageSelection(QStringLiteral("4-"), 16).toRangeList(), (QList<QPageRanges::Range>{{4, 16}}));
    EXPECT_EQ(ParsePageSelection(QStringLiteral("-2, 1638"), 1638).toRangeList(),
              (QList<QPageRanges::Range>{{1, 2}, {1638, 1638}}));
    for (const char* wrong : {"", "0", "3-1", "17", "2-x", "1-17"})
        EXPECT_TRUE(ParsePageSelection(QString::fromLatin1(wrong), 16).isEmpty()) << wrong;
}

TEST_F(ReportRunTest, OutputOptionsFollowThePrinterAndThePageRange) {
    {
        Tfrm_RaveCustomSetup before;
        if (QPrinterInfo::defaultPrinter().isNull()) {
            EXPECT_EQ(before.lblPrinter->text(), QStringLiteral("No printers installed!"));
            EXPECT_FALSE(before.rbPrinter->isEnabled());
            EXPECT_TRUE(before.rbPreview->isChecked());
            EXPECT_FALSE(before.edCopies->isEnabled());
            EXPECT_FALSE(before.btnProperties->isEnabled());
            EXPECT_FALSE(before.toPrinter());
        }
        EXPECT_EQ(before.windowTitle(), QStringLiteral("Ausgabeoptionen"));
    }
    Tfrm_RaveCustomSetup fromPreview(5);
    EXPECT_EQ(fromPreview.edTo->text(), QStringLiteral("5"));
    EXPECT_EQ(fromPreview.edSelection->text(), QStringLiteral("1-5"));
    EXPECT_EQ(fromPreview.firstPage(), 1);
    EXPECT_EQ(fromPreview.lastPage(), 9999);
    fromPreview.rbPages->setChecked(true);
    EXPECT_FALSE(fromPreview.edFrom->isHidden());
    EXPECT_TRUE(fromPreview.edSelection->isHidden());
    fromPreview.edFrom->setText(QStringLiteral("2"));
    fromPreview.edTo->setText(QStringLiteral("3"));
    EXPECT_EQ(fromPreview.firstPage(), 2);
    EXPECT_EQ(fromPreview.lastPage(), 3);
    fromPreview.rbSelection->setChecked(true);
    fromPreview.edSelection->setText(QStringLiteral("4-"));
    EXPECT_EQ(fromPreview.firstPage(), 4);
    EXPECT_EQ(fromPreview.lastPage(), 9999);
    // The number fields take digits only.
    fromPreview.rbPages->setChecked(true);
    fromPreview.edFrom->setText(QString());
    QTest::keyClicks(fromPreview.edFrom, QStringLiteral("2a"));
    EXPECT_EQ(fromPreview.edFrom->text(), QStringLiteral("2"));
}

TEST_F(ReportRunTest, PdfRunWithAndWithoutPictureAttachment) {
    auto w = window();
    child<QCheckBox>(*w, "cbxPDF")->setChecked(true);
    child<QCheckBox>(*w, "cbxOpen")->setChecked(false);
    child<QCheckBox>(*w, "cbxImages")->setChecked(true);
    const QString pdf = path(QStringLiteral("bericht.pdf"));
    dialogs.paths = {pdf};
    w->RunReport(QStringLiteral("Report_20_Position_II_ohne_Gruppierung"), QStringLiteral("Position II 2011/2012"));
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << dialogs.messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(f.read(5).startsWith("%PDF"));
    ASSERT_EQ(dialogs.calls.size(), 1); // no photo names: no attachment dialog
    EXPECT_EQ(dialogs.calls[0].kind, QStringLiteral("saveFile"));

    // With a photo in the client's folder the attachment is offered under its own name.
    const QString folder = path(QStringLiteral("kunde/"));
    QDir().mkpath(folder);
    BrvExec(QStringLiteral("UPDATE MANDANTEN SET SICHERUNGSPFAD = ? WHERE MANDANT_NR = 1"), folder);
    BrvCommit();
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(folder + QStringLiteral("foto.png")));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET DATEINAME_FOTO = 'foto.png' WHERE ANLAGE_NR = 1"));
    const QString pictures = path(QStringLiteral("bilder.pdf"));
    dialogs.calls.clear();
    dialogs.paths = {pdf, pictures};
    w->RunReport(QStringLiteral("Report_20_Position_II_ohne_Gruppierung"), QStringLiteral("Position II 2011/2012"));
    ASSERT_EQ(dialogs.calls.size(), 2) << dialogs.messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(dialogs.calls[1].text, QStringLiteral("Speichern Bildanlage"));
    EXPECT_GT(QFileInfo(pictures).size(), 0);

    // Only assets with a photo file stand in the attachment: no name (the folder itself) and a missing file do not.
    ReportRows rows;
    rows.columns = {QStringLiteral("KONTO_NR"), QStringLiteral("ANLAGEBEZEICHNUNG"), QStringLiteral("DATEINAME_FOTO")};
    rows.rows = {{QStringLiteral("0400"), QStringLiteral("Drehbank"), QStringLiteral("foto.png")},
                 {QStringLiteral("0410"), QStringLiteral("Fräse"), QString()},
                 {QStringLiteral("0420"), QStringLiteral("Stapler"), QStringLiteral("fehlt.png")}};
    QTextDocument doc;
    FillImagesDocument(doc, rows, folder, {}, QStringLiteral("Muster"));
    EXPECT_EQ(doc.toHtml().count(QStringLiteral("<img")), 1);
    EXPECT_TRUE(doc.toPlainText().contains(QStringLiteral("Drehbank")));
    EXPECT_FALSE(doc.toPlainText().contains(QStringLiteral("Fräse")));
    EXPECT_FALSE(doc.toPlainText().contains(QStringLiteral("Stapler")));

    dialogs.calls.clear();
    w->RunReport(QStringLiteral("Report_99"), QStringLiteral("?"));
    EXPECT_EQ(dialogs.calls.last().text, QStringLiteral("Fehler bei der Ausführung des Berichtes. \r\nSystemmeldung: "
                                                        "Bericht ist nicht bekannt. Bitte informieren Sie den "
                                                        "Softwarehersteller."));
}

TEST_F(ReportRunTest, ScreenRunShowsThePreviewWithPageAndZoomControls) {
    auto w = window();
    int previews = 0;
    ScopedRunner runner([&](QDialog& d) {
        if (auto* setup = dynamic_cast<Tfrm_RaveCustomSetup*>(&d)) {
            setup->rbPreview->setChecked(true);
            return int(QDialog::Accepted);
        }
        auto& preview = dynamic_cast<Tfrm_RaveCustomPreview&>(d);
        ++previews;
        EXPECT_GE(preview.pageCount(), 1);
        EXPECT_EQ(preview.edPage->text(), QStringLiteral("1"));
        EXPECT_EQ(preview.windowTitle(), QStringLiteral("Vorschau - Anlageverzeichnis"));
        preview.edZoom->setText(QStringLiteral("250"));
        preview.zoomEditDone();
        EXPECT_EQ(preview.edZoom->text(), QStringLiteral("250"));
        preview.edZoom->setText(QStringLiteral("12,5"));
        preview.zoomEditDone();
        EXPECT_EQ(preview.edZoom->text(), QStringLiteral("250"));
        preview.goToPage(preview.pageCount());
        const int last = preview.currentPage();
        preview.goToPage(last);
        EXPECT_EQ(preview.currentPage(), last);
        return int(QDialog::Accepted);
    });
    w->RunReport(QStringLiteral("Anlageverzeichnis"), QStringLiteral("Anlageverzeichnis"));
    EXPECT_EQ(previews, 1);
    EXPECT_TRUE(dialogs.calls.isEmpty()) << dialogs.messages().join(QLatin1Char('\n')).toStdString();
}

TEST_F(ReportRunTest, BuildingReportNeedsAChosenBuilding) {
    auto w = window();
    int choices = 0;
    {
        ScopedRunner runner([&](QDialog& d) {
            EXPECT_NE(dynamic_cast<TFrmGebChoice*>(&d), nullptr);
            ++choices;
            return int(QDialog::Rejected);
        });
        w->RunReport(QStringLiteral("Report_11_Gebaeudewert"), QStringLiteral("Gebäudewertermittlung"));
    }
    EXPECT_EQ(choices, 1);
    EXPECT_TRUE(dialogs.calls.isEmpty()); // cancelled silently

    const QString obj = InsertGebObjekt(QStringLiteral("Werk"), QStringLiteral("1"), QStringLiteral("1"),
                                        QStringLiteral("Ort"), QStringLiteral("Weg"));
    TGebBuilding b(obj);
    b.Caption = QStringLiteral("Halle");
    b.SummeBau = QStringLiteral("147.939,57");
    InsertGebBuilding(b);
    child<QCheckBox>(*w, "cbxPDF")->setChecked(true);
    child<QCheckBox>(*w, "cbxOpen")->setChecked(false);
    const QString pdf = path(QStringLiteral("gebaeude.pdf"));
    dialogs.paths = {pdf};
    ScopedRunner runner([&](QDialog& d) {
        auto& choice = dynamic_cast<TFrmGebChoice&>(d);
        choice.lbGeb->setCurrentRow(0);
        choice.btnOKClick();
        return choice.result();
    });
    w->RunReport(QStringLiteral("Report_11_Gebaeudewert"), QStringLiteral("Gebäudewertermittlung"));
    EXPECT_GT(QFileInfo(pdf).size(), 0) << dialogs.messages().join(QLatin1Char('\n')).toStdString();
}

} // namespace

namespace {

// The text of a sheet's XML part in a workbook file.
QByteArray workbookPart(const QString& file, const char* part) {
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(file).constData(), ZIP_RDONLY, &error);
    if (!z)
        return {};
    QByteArray out;
    if (zip_file_t* f = zip_fopen(z, part, 0)) {
        char buffer[65536];
        zip_int64_t n = 0;
        while ((n = zip_fread(f, buffer, sizeof buffer)) > 0)
            out.append(buffer, qsizetype(n));
        zip_fclose(f);
    }
    zip_close(z);
    return out;
}

// Where a test leaves what it drew, for a look at it (BRENVIK_TEST_OUTPUT); nowhere without it.
void keep(const QString& file) {
    const QString folder = qEnvironmentVariable("BRENVIK_TEST_OUTPUT");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    const QString target = QDir(folder).filePath(QFileInfo(file).fileName());
    QFile::remove(target);
    QFile::copy(file, target);
}

} // namespace

TEST_F(ReportRunTest, WorkbookHoldsTypedCellsAndSumsAsFormulas) {
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET NOTIZTEXT = 'Halle 3; \"Ost\"' WHERE ANLAGE_NR = 2"));
    const ReportProject project = LoadReportProject(ReportProjectPath());
    ReportJob job = sampleJob();
    job.keepRows = true;
    const PreparedReport r = PrepareReport(project, QStringLiteral("Report_21_Position_II_Anlagengruppierung"), job);
    ASSERT_TRUE(r.table);
    ASSERT_EQ(r.rows.rows.size(), 3);
    const QString file = path(QStringLiteral("Position II - nach Anlagengruppen.xlsx"));
    WriteReportWorkbook(*r.table, r.rows, file);
    keep(file);
    const Worksheet w = ReadWorkbook(file);
    EXPECT_EQ(w.cell(1, 1), QStringLiteral("Position II - nach Anlagengruppen"));
    EXPECT_EQ(w.cell(2, 1), QStringLiteral("Mandant: Muster GmbH (Nr. 1)"));
    EXPECT_TRUE(w.cell(3, 1).startsWith(QStringLiteral("Preisbasis: Indexjahr 2012"))) << w.cell(3, 1).toStdString();
    EXPECT_EQ(w.cell(5, 1), QStringLiteral("Konto"));
    EXPECT_EQ(w.cell(5, 4), QStringLiteral("AHK EUR"));
    EXPECT_EQ(w.cell(6, 1), QStringLiteral("Anlagengruppe: A"));
    // Accounts stay text, amounts and index values are numbers, acquisition dates are dates.
    EXPECT_EQ(w.at(7, 1)->kind, Worksheet::Kind::Text);
    EXPECT_EQ(w.cell(7, 1), QStringLiteral("0400"));
    ASSERT_EQ(w.at(7, 3)->kind, Worksheet::Kind::Date);
    EXPECT_EQ(w.at(7, 3)->number, EncodeDate(2010, 5, 1));
    ASSERT_EQ(w.at(7, 4)->kind, Worksheet::Kind::Number);
    EXPECT_DOUBLE_EQ(w.at(7, 4)->number, 1000.5);
    EXPECT_EQ(w.at(7, 6)->kind, Worksheet::Kind::Number);
    EXPECT_EQ(w.cell(8, 9), QStringLiteral("Halle 3; \"Ost\""));
    // The group's sum row, then group B, then the total over both groups (the subtotals left out).
    EXPECT_EQ(w.cell(9, 1), QStringLiteral("Summe Anlagengruppe: A (2 Anlagen)"));
    EXPECT_DOUBLE_EQ(w.at(9, 4)->number, 3000.5);
    EXPECT_DOUBLE_EQ(w.at(9, 8)->number, 3300.55);
    EXPECT_EQ(w.cell(10, 1), QStringLiteral("Anlagengruppe: B"));
    EXPECT_EQ(w.cell(13, 1), QStringLiteral("Gesamtsumme"));
    EXPECT_DOUBLE_EQ(w.at(13, 4)->number, 3300.75);
    const QByteArray sheet = workbookPart(file, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(sheet.contains("<f>SUBTOTAL(9,D7:D8)</f>")) << sheet.left(400).toStdString();
    EXPECT_TRUE(sheet.contains("<f>SUBTOTAL(9,D7:D12)</f>"));
    const QByteArray styles = workbookPart(file, "xl/styles.xml");
    EXPECT_TRUE(styles.contains("formatCode=\"#,##0.00\""));
    EXPECT_TRUE(styles.contains("formatCode=\"dd.mm.yyyy\""));

    // The report window saves the same workbook after the PDF when asked to.
    auto window = this->window();
    child<QCheckBox>(*window, "cbxPDF")->setChecked(true);
    child<QCheckBox>(*window, "cbxOpen")->setChecked(false);
    child<QCheckBox>(*window, "cbxXLSX")->setChecked(true);
    const QString fromWindow = path(QStringLiteral("aus dem Fenster"));
    dialogs.calls.clear();
    dialogs.paths = {path(QStringLiteral("bericht.pdf")), fromWindow};
    window->RunReport(QStringLiteral("Report_21_Position_II_Anlagengruppierung"),
                      QStringLiteral("Position II - nach Anlagengruppen"));
    ASSERT_EQ(dialogs.calls.size(), 2) << dialogs.messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(dialogs.calls[1].text, QStringLiteral("Arbeitsmappe speichern"));
    EXPECT_EQ(ReadWorkbook(fromWindow + QStringLiteral(".xlsx")).cell(13, 1), QStringLiteral("Gesamtsumme"));

    // A workbook that cannot be written leaves nothing behind and says so.
    const QString blocked = path(QStringLiteral("fehlt/bericht.xlsx"));
    EXPECT_THROW(WriteReportWorkbook(*r.table, r.rows, blocked), Exception);
    EXPECT_FALSE(QFileInfo::exists(blocked));
    EXPECT_EQ(WorkbookSheetName(QStringLiteral("Position II 2011/2012: [alle] Anlagen mit Index")),
              QStringLiteral("Position II 2011_2012_ _alle_ A"));
}

TEST_F(ReportRunTest, OneSitesReportNamesTheSiteAndHoldsOnlyItsAssets) {
    for (auto [nr, name] : {std::pair{1, "Werk Nord"}, {2, "Lager Süd"}})
        BrvExec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR, INSERT_TS, "
                               "ADRESSBEZEICHNUNG) VALUES (1, 1, ?, CURRENT_TIMESTAMP, ?)"),
                nr, QString::fromUtf8(name));
    exec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET ADRESS_NR = CASE WHEN ANLAGE_NR = 3 THEN 2 ELSE 1 END"));
    const ReportProject project = LoadReportProject(ReportProjectPath());
    ReportJob job = sampleJob();
    job.addressNr = 2;
    job.addressCaption = QStringLiteral("Lager Süd");
    const PreparedReport site =
        PrepareReport(project, QStringLiteral("Report_22_Position_II_Standortgruppierung"), job);
    ASSERT_TRUE(site.table);
    QStringList accounts;
    for (const ReportTableLine& l : site.table->table().lines)
        if (l.kind == QLatin1Char('R'))
            accounts << l.cells.value(0);
    EXPECT_EQ(accounts, QStringList{QStringLiteral("0420")});
    EXPECT_EQ(site.table->heading().client, QStringLiteral("Mandant: Muster GmbH (Nr. 1), Standort 2: Lager Süd"));
    // The provision settlement stays the client's as a whole.
    const PreparedReport provision = PrepareReport(project, QStringLiteral("Report_40_Vorsorgeabrechnung"), job);
    EXPECT_EQ(provision.statements.rows.params, (QList<int>{1}));
    EXPECT_EQ(provision.table->heading().client, QStringLiteral("Mandant: Muster GmbH (Nr. 1)"));
}

TEST_F(ReportRunTest, ThePreviewDrawsOnlyThePagesInView) {
    for (int i = 4; i <= 400; ++i)
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                               "KONTO_NR, ANLAGEBEZEICHNUNG, AHK, GELOESCHT, GEBAEUDE, VERSICHERUNGSWERT) "
                               "VALUES (1, 1, ?, 0, '0500', ?, 100, '0', '0', 110)"),
                i,
                QStringLiteral("Anlage %1 mit einer Bezeichnung, die über mehrere Zeilen umbricht, weil sie so "
                               "lang ist, wie Anlagebezeichnungen in Buchhaltungen manchmal werden")
                    .arg(i));
    BrvCommit();
    const ReportProject project = LoadReportProject(ReportProjectPath());
    ReportJob job = sampleJob();
    PreparedReport r = PrepareReport(project, QStringLiteral("Anlageverzeichnis"), job);
    Tfrm_RaveCustomPreview preview(r.table.get());
    preview.resize(900, 700);
    preview.show();
    QCoreApplication::processEvents();
    ASSERT_GE(preview.pageCount(), 10);
    EXPECT_EQ(preview.lblPages->text(), QStringLiteral("  von %1 ").arg(preview.pageCount()));
    for (int page = 1; page <= preview.pageCount(); ++page) {
        preview.goToPage(page);
        QCoreApplication::processEvents();
        EXPECT_EQ(preview.currentPage(), page);
        EXPECT_LE(preview.preview->heldPages(), 8) << page;
    }
    EXPECT_EQ(preview.edPage->text(), QString::number(preview.pageCount()));
    preview.goToPage(1);
    QCoreApplication::processEvents();
    const QString picture = path(QStringLiteral("vorschau.png"));
    preview.grab().save(picture);
    keep(picture);
    // A page picture shows the page: the heading in dark ink on white, as wide as the page at the zoom.
    const QImage first = preview.preview->pageImage(1);
    EXPECT_NEAR(first.width(), 8.27 * preview.preview->logicalDpiY(), 2);
    int dark = 0;
    for (int y = 0; y < first.height() / 8; ++y)
        for (int x = 0; x < first.width(); ++x)
            dark += qGray(first.pixel(x, y)) < 100;
    EXPECT_GT(dark, 200);
}

TEST_F(ReportRunTest, TheBuildingSheetPrintsEveryFigureOfTheValuation) {
    const int year = QDate::currentDate().year() - 1;
    exec(QStringLiteral(
        "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 894, 'Wohngebäude')"));
    exec(QStringLiteral(
        "INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT) VALUES (1, 900, 'Mark 1914')"));
    for (auto [kat, y, v] : {std::tuple{894, 2000, 100.0}, {894, year, 120.0}, {900, year, 6.5}})
        BrvExec(QStringLiteral("INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES "
                               "(1, ?, ?, ?)"),
                kat, y, v);
    TGebType t;
    t.PID = QStringLiteral("T1");
    t.GEBCAPTION = QStringLiteral("Werkstattgebäude");
    t.DESCRIPTION = QStringLiteral("Ein- bis zweigeschossige Werkstatt mit Sozialräumen");
    t.AUSFROHBAU = QStringLiteral("Stahlbetonskelett, Mauerwerk");
    t.AUSFNORMAL = QStringLiteral("Industrieboden, Rolltore, Leuchtstoffbänder");
    t.RICHTPNORMAL = QStringLiteral("1.150,00");
    t.INDEXNR = 894;
    t.RICHTPREISART = QStringLiteral("EUR 2000");
    t.RICHTBASISEINH = QStringLiteral("m3");
    t.UST = QStringLiteral("1");
    t.LIFETIMEMIN = 60;
    t.LIFETIMEMAX = 100;
    t.HERKUNFT = QStringLiteral("Baukostenkatalog 2000");
    InsertGebType(t);
    const QString objekt = InsertGebObjekt(QStringLiteral("Werk Nord"), QStringLiteral("1"), QStringLiteral("12345"),
                                           QStringLiteral("Musterstadt"), QStringLiteral("Industriestraße 4"));
    TGebObjekt o = GetGebObjekt(objekt);
    o.UstPflicht = true;
    o.VersNehmer = QStringLiteral("Muster GmbH");
    o.Ersteller = QStringLiteral("Dipl.-Ing. Erika Prüfer");
    o.ErstellerStr = QStringLiteral("Gutachterweg 1");
    o.ErstellerOrt = QStringLiteral("54321 Prüfstadt");
    UpdateGebObjekt(o);
    TGebBuilding b(objekt);
    b.Caption = QStringLiteral("Halle 1");
    b.Art = t.GEBCAPTION;
    b.Ausf = QStringLiteral("Normale Ausführung");
    b.Grund = QStringLiteral("Zustand bei Begehung am 01.10.");
    b.Versart = QStringLiteral("Neuwert");
    b.Zustand = QStringLiteral("Normale Instandhaltung");
    b.Dachart = QStringLiteral("Flachdach");
    b.setBaujahr(QString::number(QDate::currentDate().year() - 20));
    b.Lebensdauer = 80;
    b.Richtpreis = 1150;
    b.DimCaption = QStringLiteral("Umbauter Raum");
    b.BerechnungsartDim = QStringLiteral("Berechnung des umbauten Raums gem. DIN 277");
    InsertGebBuilding(b);
    for (auto [pos, caption, l, w, h] : {std::tuple{1, "Halle", 40.0, 20.0, 8.0}, {2, "Anbau Büro", 10.0, 8.0, 3.5}}) {
        TGebDimension d;
        d.PID = QStringLiteral("D%1").arg(pos);
        d.DimGeb_FK = b.PID;
        d.DimPos = pos;
        d.DimCaption = QString::fromUtf8(caption);
        d.DimL = l;
        d.DimB = w;
        d.DimH = h;
        d.DimEinheit = QStringLiteral("m³");
        d.DimFlaeche = l * w * h;
        InsertGebDimension(d);
    }
    TGebMeasure m;
    m.PID = QStringLiteral("M1");
    m.GebBuildingID = b.PID;
    m.PosNr = 1;
    m.Caption = QStringLiteral("Kranbahn");
    m.Zusatz = QStringLiteral("10 t");
    m.Einheit = QStringLiteral("lfm");
    m.MeasureCount = 40;
    m.Richtpreis = 250;
    m.MeasureSum = 10000;
    InsertGebMeasure(m);
    TGebAufzugBestand a;
    a.PID = QStringLiteral("A1");
    a.OwnerID = b.PID;
    a.AufzugCaption = QStringLiteral("Lastenaufzug");
    a.Nutzlast = QStringLiteral("2000 kg");
    a.Haltestellen = 2;
    a.Anzahl = 1;
    a.Richtpreis = 9000;
    a.ExtraHaltestelleCount = 1;
    a.RichtpreisExtra = 1500;
    a.AufzugSumme = 10500;
    InsertGebAufzugBestand(a);
    BrvCommit();
    std::optional<TGebBuilding> stored = GetGebBuilding(b.PID);
    ASSERT_TRUE(stored);
    ASSERT_TRUE(CalculateStoredGebBuilding(*stored, GetGebObjekt(objekt), &t));
    stored->DeriveSaveTexts();
    UpdateGebBuilding(*stored);

    const ReportProject project = LoadReportProject(ReportProjectPath());
    ReportJob job = sampleJob();
    job.indexYear = year;
    job.parameters[QStringLiteral("pFootnoteVersion")] = QStringLiteral("Erstellt mit Brenvik");
    PreparedReport r = PrepareReport(project, QStringLiteral("Report_11_Gebaeudewert"), job);
    const TGebBerichtSQL sql(1, b.Ausf, b.Art, objekt, b.PID);
    const std::unique_ptr<DocumentReportOutput> sheet = PrepareBuildingSheet(r, sql);
    const QString text = sheet->document().toPlainText();
    const auto has = [&](const QString& s) { return text.contains(s); };
    // The object is named as the object, the client as the client.
    EXPECT_TRUE(has(QStringLiteral("Objekt: Werk Nord"))) << text.toStdString();
    EXPECT_TRUE(has(QStringLiteral("Mandant: Muster GmbH (Nr. 1)")));
    EXPECT_FALSE(has(QStringLiteral("Mandant: Werk Nord")));
    EXPECT_TRUE(has(QStringLiteral("Industriestraße 4, 12345 Musterstadt")));
    // Type, shell construction and finish; the dimension lines with their sum and unit.
    for (const char* s : {"Werkstattgebäude",
                          "Stahlbetonskelett, Mauerwerk",
                          "Industrieboden, Rolltore",
                          "20 Jahre",
                          "80 Jahre (Gebäudetyp: 60 bis 100 Jahre)",
                          "Berechnung des umbauten Raums gem. DIN 277",
                          "Anbau Büro",
                          "280,00 m³",
                          "6.680,00 m³",
                          "1.150,00 EUR/m³",
                          "Kranbahn (10 t)",
                          "10.000,00",
                          "Lastenaufzug",
                          "2000 kg",
                          "10.500,00",
                          "Summe Bauteile",
                          "Versicherungswert zum Neuwert",
                          "Nebenkosten (14 %)",
                          "Dipl.-Ing. Erika Prüfer",
                          "Gutachterweg 1, 54321 Prüfstadt",
                          "Unterschrift"})
        EXPECT_TRUE(has(QString::fromUtf8(s))) << s;
    // The calculation's own figures, as it stored them.
    const std::optional<TGebBuilding> valued = GetGebBuilding(b.PID);
    ASSERT_TRUE(valued);
    for (const QString& figure :
         {valued->RNDProdukt, valued->RNDProduktIDX, valued->RNDKostenIDX, valued->RNDAufzugIDX, valued->RNDWiederKost,
          valued->SummeNK, valued->SummeBau, valued->SummeBauRound, valued->RNDZeitwert})
        EXPECT_TRUE(has(figure)) << figure.toStdString();
    EXPECT_TRUE(has(QStringLiteral("Wertminderung (Normale Instandhaltung, 25,00 %)")));

    const QString pdf = path(QStringLiteral("Gebäudewertermittlung.pdf"));
    WriteReportPdf(*sheet, pdf);
    keep(pdf);
    QPdfWriter probe(path(QStringLiteral("probe.pdf")));
    EXPECT_GE(sheet->pageCount(&probe), 1);
    EXPECT_LE(sheet->pageCount(&probe), 2);
}
