// The asset register at year-end size: 65,500 assets of one client in an embedded database. Measures the batch
// valuation, the list read and the look-ups of an import reconciliation against raw baselines over the client
// library (prepared statement reused, one transaction), in the same run.
//   brenvik-bench-assets [ROWS]

#include "assets/frm_verswerte.h"
#include "assets/batch_valuation.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/schema.h"
#include "bench/bench_support.h"
#include "bench/raw_fb.h"
#include "db/versicherungswerte.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char* kTpb = "\x03\x09\x0f\x11\x06";

double ms(QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

void populate(int n) {
    const int y = QDate::currentDate().year();
    for (int kat = 1; kat <= 40; ++kat)
        for (int year = y - 40; year < y; ++year)
            BrvExec(QStringLiteral("INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES "
                                   "(1, ?, ?, ?)"),
                    kat, year, 50.0 + kat + (year - (y - 40)) * 1.5);
    for (int kat = 1; kat <= 40; ++kat)
        BrvExec(
            QStringLiteral("INSERT INTO INDEXBESCHREIBUNGEN (BRV_MANDANT_NR, KATEGORIE_NR, INDEX_TEXT, NUTZUNGSDAUER) "
                           "VALUES (1, ?, ?, ?)"),
            kat, QStringLiteral("Reihe %1").arg(kat), 5 + kat % 10);
    for (int m : {1, 2, 3})
        BrvExec(
            QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA, MWST_PFLICHT, BENUTZER_NR_LOCK, "
                           "LOCK_ATTACHMENT) VALUES (1, ?, 'Bench', '0', 1, CURRENT_CONNECTION)"),
            m);
    for (int m : {1, 2, 3})
        for (int i = 0; i < n; ++i)
            BrvExec(QStringLiteral(
                        "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, ANLAGE_NR, "
                        "ANLAGE_SUB_NR, KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, AHK, "
                        "NUTZUNGSDAUER, KATEGORIE_NR, GELOESCHT, FESTE_TAXE, QUELLE, UPDATE_CHECK, GEBAEUDE, "
                        "LEASING, GEMIETET) VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '0', '0', 'IMPORT', '1', "
                        "'0', '0', '0')"),
                    m, SqlTs{BrvNow()}, i / 4 + 1, i % 4, QStringLiteral("0%1").arg(400 + i % 90),
                    QStringLiteral("Anlage %1 Maschine mit längerer Bezeichnung").arg(i),
                    SqlTs{EncodeDate(y - 1 - i % 35, 1 + i % 12, 1 + i % 28)}, y - 1 - i % 35, 100.0 + i % 5000,
                    i % 3 == 0 ? 0 : 8, 1 + i % 40);
    BrvCommit();
}

} // namespace

int main(int argc, char** argv) {
    // The asset list window is measured too; it needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scopedDialogs(dialogs);
    const int n = argc > 1 ? std::atoi(argv[1]) : 65500;
    BenchDatabase bench;
    fb::Database& db = bench.db();
    populate(n);

    const QByteArray select = (QStringLiteral("SELECT ") + kVersWerteCols +
                               QStringLiteral(" FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = 1 ORDER BY MANDANT_NR, "
                                              "ANLAGE_NR, ANLAGE_SUB_NR"))
                                  .toUtf8();
    QElapsedTimer t;

    // Raw: read all rows, update each by key.
    isc_tr_handle rawTr = 0;
    ISC_STATUS_ARRAY st{};
    auto rawReadUpdate = [&]() {
        t.start();
        isc_start_transaction(st, &rawTr, 1, db.handle(), 5, kTpb);
        rawCheck(st);
        {
            RawStmt sel(db.handle(), &rawTr, select.constData(), 0);
            RawStmt upd(
                db.handle(), &rawTr,
                "UPDATE VERSICHERUNGSWERTE SET UPDATE_TS = CURRENT_TIMESTAMP, VERSICHERUNGSWERT = ?, ZEITWERT = ? "
                "WHERE MANDANT_NR = ? AND ANLAGE_NR = ? AND ANLAGE_SUB_NR = ?",
                5);
            sel.execute();
            std::vector<std::pair<qint32, qint32>> keys;
            keys.reserve(n);
            while (sel.fetch())
                keys.emplace_back(sel.intAt(4), sel.intAt(5));
            double vw = 0, zw = 0;
            qint32 m = 1, nr = 0, sub = 0;
            upd.param(0, SQL_DOUBLE, &vw, 8);
            upd.param(1, SQL_DOUBLE, &zw, 8);
            upd.param(2, SQL_LONG, &m, 4);
            upd.param(3, SQL_LONG, &nr, 4);
            upd.param(4, SQL_LONG, &sub, 4);
            for (const auto& [a, b] : keys) {
                nr = a;
                sub = b;
                vw = a * 1.5;
                zw = a * 0.5;
                upd.execute();
            }
        }
        isc_commit_transaction(st, &rawTr);
        return ms(t);
    };
    BatchOptions o;
    BatchResult br;
    auto batchRun = [&]() {
        t.restart();
        br = RunBatchValuation(AllAssetRows(o.mandantNr), o);
        return ms(t);
    };
    // Every update leaves a back version that the next writer of the row cleans up, so both runs get rows of their
    // own, written once: the raw baseline those of client 1, the batch those of client 2 (the same register).
    const double rawUpdate = rawReadUpdate();
    o.mandantNr = 2;
    const double batch = batchRun();

    // Raw: fetch the same rows.
    t.restart();
    isc_start_transaction(st, &rawTr, 1, db.handle(), 5, kTpb);
    long rawRows = 0;
    {
        RawStmt sel(db.handle(), &rawTr, select.constData(), 0);
        sel.execute();
        while (sel.fetch())
            ++rawRows;
    }
    isc_commit_transaction(st, &rawTr);
    const double rawFetch = ms(t);

    t.restart();
    const qsizetype listRows = GetVersWerteList(1, QString())->size();
    BrvCommit();
    const double list = ms(t);

    // The look-ups of an import reconciliation: account number and description of every asset.
    std::vector<std::pair<QByteArray, QByteArray>> probes;
    probes.reserve(n);
    for (int i = 0; i < n; ++i)
        probes.emplace_back(QStringLiteral("0%1").arg(400 + i % 90).toUtf8(),
                            QStringLiteral("Anlage %1 Maschine mit längerer Bezeichnung").arg(i).toUtf8());
    t.restart();
    isc_start_transaction(st, &rawTr, 1, db.handle(), 5, kTpb);
    long rawFound = 0;
    {
        const QByteArray find = (QStringLiteral("SELECT FIRST 1 ") + kVersWerteColsAll +
                                 QStringLiteral(" FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND KONTO_NR = ? AND "
                                                "ANLAGEBEZEICHNUNG = ? ORDER BY ANLAGE_NR DESC, ANLAGE_SUB_NR DESC"))
                                    .toUtf8();
        RawStmt sel(db.handle(), &rawTr, find.constData(), 3);
        qint32 m = 1;
        sel.param(0, SQL_LONG, &m, 4);
        for (auto& [konto, desc] : probes) {
            sel.param(1, SQL_TEXT, konto.data(), short(konto.size()));
            sel.param(2, SQL_TEXT, desc.data(), short(desc.size()));
            sel.execute();
            if (sel.fetch())
                ++rawFound;
            sel.close();
        }
    }
    isc_commit_transaction(st, &rawTr);
    const double rawLookup = ms(t);

    t.restart();
    long found = 0;
    for (int i = 0; i < n; ++i) {
        TBrenvikVersWerte r;
        FindVersWert(1, QStringLiteral("0%1").arg(400 + i % 90),
                     QStringLiteral("Anlage %1 Maschine mit längerer Bezeichnung").arg(i), r);
        found += r.anlage_nr > 0;
    }
    BrvCommit();
    const double lookup = ms(t);

    // The window: opening the register of client 3, then its batch run (counting failures) on rows written once.
    double windowOpen = 0, windowBatch = 0, sortClick = 0, filtered = 0, scrolled = 0, rereadSorted = 0;
    int filteredRows = 0;
    {
        Tfrm_VersWerte w;
        w.iClientID = 3;
        w.sClientName = QStringLiteral("Bench (3)");
        t.restart();
        w.show();
        QApplication::processEvents();
        windowOpen = ms(t);
        // A click on a column header, a filter and a scroll to the end, each until the window has drawn.
        const auto drawn = [&] {
            w.grid()->viewport()->repaint();
            QApplication::processEvents();
        };
        t.restart();
        w.HeaderClick(3); // the description
        drawn();
        sortClick = ms(t);
        t.restart();
        w.HeaderClick(5); // the acquisition cost
        drawn();
        sortClick = std::max(sortClick, ms(t));
        t.restart();
        auto* konto = w.findChild<QLineEdit*>(QStringLiteral("edKontoNr"));
        konto->setText(QStringLiteral("0420"));
        w.LoadList();
        drawn();
        filtered = ms(t);
        filteredRows = w.grid()->model()->rowCount();
        konto->clear();
        w.LoadList();
        drawn();
        t.restart();
        w.grid()->scrollToBottom();
        drawn();
        scrolled = ms(t);
        // The full read the click replaced, for comparison.
        t.restart();
        GetVersWerteList(3, QStringLiteral("AHK"));
        BrvCommit();
        rereadSorted = ms(t);
        dialogs.answers = {platform::MsgResult::No};
        t.restart();
        w.StartValuation();
        windowBatch = ms(t);
    }

    std::printf("rows: %d (valued %d, failed %d, without value %d)\n", n, br.valued, br.failed, br.withoutValue);
    std::printf("batch valuation   raw read+update %8.1f ms   batch        %8.1f ms   ratio %.2f\n", rawUpdate, batch,
                batch / rawUpdate);
    std::printf("list read         raw fetch       %8.1f ms   GetVersWerteList %4.1f ms   ratio %.2f\n", rawFetch, list,
                list / rawFetch);
    std::printf("look-ups          raw indexed     %8.1f ms   FindVersWert %8.1f ms   ratio %.2f\n", rawLookup, lookup,
                lookup / rawLookup);
    std::printf("asset list window open %8.1f ms;  its batch run %8.1f ms   ratio to the routine %.2f\n", windowOpen,
                windowBatch, windowBatch / batch);
    std::printf("asset list window header click %6.1f ms (a sorted read %6.1f ms), filter to %d rows %6.1f ms, "
                "scroll to the end %6.1f ms\n",
                sortClick, rereadSorted, filteredRows, filtered, scrolled);
    if (rawRows != listRows || rawFound != found)
        std::printf("counts differ: %ld/%lld rows, %ld/%ld found\n", rawRows, static_cast<long long>(listRows),
                    rawFound, found);
    return 0;
}
