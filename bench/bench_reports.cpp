// A register report at year-end size: the asset list of one client with 65,500 assets, from the statement to the
// PDF file, step by step (rows, table, PDF).
//   brenvik-bench-reports [ROWS]

#include "bench/bench_support.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/schema.h"
#include "reports/report_catalogue.h"
#include "reports/report_engine.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <QPdfWriter>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
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
    std::printf("rows %d: fetch %.0f ms, table %.0f ms, page plan %.0f ms, PDF %.0f ms (%d pages, %lld KB); "
                "in all %.0f ms\n",
                int(rows.rows.size()), fetch, build, plan, write, pages, QFileInfo(pdf).size() / 1024,
                fetch + build + plan + write);
    return 0;
}
