// A register report at year-end size: the asset list of one client with 65,500 assets, from the statement to the
// PDF file, step by step (rows, table, PDF).
//   brenvik-bench-reports [ROWS]

#include "bench/bench_support.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/schema.h"
#include "reports/report_catalogue.h"
#include "reports/frm_reports.h"
#include "reports/report_engine.h"
#include "reports/report_page_view.h"
#include "reports/table_layout.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QPainter>
#include <QPdfWriter>

#include <cstdio>

namespace {
long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const int n = argc > 1 ? std::atoi(argv[1]) : 65500;
    BenchDatabase bench;
    BrvExec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA) VALUES (1, 1, 'Bench')"));
    const int y = QDate::currentDate().year();
    for (int i = 0; i < n; ++i)
        BrvExec(
            QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                           "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, AHK, VERSICHERUNGSWERT, "
                           "GELOESCHT) VALUES (1, 1, ?, 0, ?, ?, ?, ?, ?, ?, '0')"),
            i + 1, QStringLiteral("0%1").arg(400 + i % 90),
            QStringLiteral("Anlage %1 Maschine mit längerer Bezeichnung").arg(i),
            SqlTs{EncodeDate(y - 1 - i % 35, 1 + i % 12, 1 + i % 28)}, y - 1 - i % 35, 100.0 + i % 5000,
            130.0 + i % 5000);
    BrvCommit();

    const ReportProject project = LoadReportProject(ReportProjectPath());
    const ReportLayout* layout = project.find(QStringLiteral("Anlageverzeichnis"));
    const ReportStatements st = PrepareReportStatements(layout->name, 1, y - 1);
    QElapsedTimer t;
    t.start();
    const ReportRows rows = FetchReportRows(st.rows);
    const double fetch = t.nsecsElapsed() / 1e6;
    t.restart();
    const ReportTable table = BuildReportTable(*layout, rows);
    const double build = t.nsecsElapsed() / 1e6;
    t.restart();
    TableReportOutput report(*layout, table, {}, QStringLiteral("Bench"));
    QPdfWriter probe(bench.path(QStringLiteral("probe.pdf")));
    probe.setResolution(300);
    const int pages = report.pageCount(&probe);
    const double plan = t.nsecsElapsed() / 1e6;
    t.restart();
    const QString pdf = bench.path(QStringLiteral("bericht.pdf"));
    WriteReportPdf(report, pdf);
    const double write = t.nsecsElapsed() / 1e6;
    // The floor any PDF of this size costs: the planned texts drawn at their places by Qt alone, one after the
    // other, without the engine's fonts, rules and wrapping.
    const TablePlan& planned = report.plan(&probe);
    t.restart();
    {
        QPdfWriter raw(bench.path(QStringLiteral("roh.pdf")));
        raw.setResolution(300);
        SetReportPage(&raw, layout->landscape);
        QPainter p(&raw);
        p.setFont(planned.body);
        for (qsizetype i = 0; i < planned.pages.size(); ++i) {
            if (i > 0)
                raw.newPage();
            for (const PlacedText& text : planned.pages[i].texts)
                p.drawText(text.rect.topLeft(), text.text);
        }
    }
    const double baseline = t.nsecsElapsed() / 1e6;
    std::printf("rows %d: fetch %.0f ms, table %.0f ms, page plan %.0f ms, PDF %.0f ms (%d pages, %lld KB); "
                "in all %.0f ms\n",
                int(rows.rows.size()), fetch, build, plan, write, pages, QFileInfo(pdf).size() / 1024,
                fetch + build + plan + write);
    // The preview of the same report: laid out for the printer and its first page drawn, then every page visited
    // once; the pictures held stay those near the view.
    const long before = residentKb();
    t.restart();
    double firstPage = 0;
    int held = 0;
    {
        TableReportOutput shown(*layout, table, {}, QStringLiteral("Bench"));
        Tfrm_RaveCustomPreview preview(&shown);
        preview.preview->pageImage(1);
        firstPage = t.nsecsElapsed() / 1e6;
        for (int page = 1; page <= preview.pageCount(); page += 25) {
            preview.goToPage(page);
            preview.preview->pageImage(page);
            held = std::max(held, preview.preview->heldPages());
        }
        std::printf("preview: first page after %.0f ms, %d pages visited, at most %d pictures held, %ld MB more "
                    "memory\n",
                    firstPage, (preview.pageCount() + 24) / 25, held, (residentKb() - before) / 1024);
    }
    std::printf("raw PDF of the same texts: %.0f ms; the report's PDF takes %.2fx that\n", baseline, write / baseline);
    return 0;
}
