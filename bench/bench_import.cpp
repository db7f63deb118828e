#include "building/gebtypes.h"
// The import at year-end size: a generated register of 65,500 rows in a 30-column workbook, measured in one run
// against raw baselines over the client library (prepared statement reused, one transaction):
//   parse            reading the workbook into cells (and, when python3-openpyxl is installed, the same file read
//                    with openpyxl in read-only mode, the reference a user would pick instead)
//   staging          parse + checks + staging rows   vs  parse + a raw insert of the same rows
//   takeover (new)   65,500 new register rows        vs  a raw insert of the same rows
//   takeover (again) 65,500 confirmations            vs  a raw read plus a raw update by key of those rows
//   brenvik-bench-import [ROWS]

#include "bench/bench_support.h"
#include "bench/raw_fb.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/schema.h"
#include "assets/index_files.h"
#include "import/importer.h"
#include "import/takeover.h"
#include "import/workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

double ms(QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}
const char* kTpb = "\x03\x09\x0f\x11\x06";

void writeWorkbook(const QString& file, int n) {
    lxw_workbook_options opt = {};
    opt.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(QFile::encodeName(file).constData(), &opt);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    lxw_format* date = workbook_add_format(wb);
    format_set_num_format(date, "dd.mm.yyyy");
    // No heading row: the reader stops at sheet row 65,500, so a heading would push the last asset past it.
    for (int i = 1; i <= n; ++i) {
        const lxw_row_t r = lxw_row_t(i - 1);
        const std::string konto = "0" + std::to_string(400 + i % 90) + "-" + std::to_string(i);
        const std::string desc = "Anlage " + std::to_string(i) + " Maschine mit längerer Bezeichnung";
        worksheet_write_string(ws, r, 0, konto.c_str(), nullptr);
        worksheet_write_string(ws, r, 1, desc.c_str(), nullptr);
        lxw_datetime dt = {1990 + i % 34, 1 + i % 12, 1 + i % 28, 0, 0, 0};
        worksheet_write_datetime(ws, r, 3, &dt, date);
        worksheet_write_string(ws, r, 5, "AHK", nullptr);
        worksheet_write_number(ws, r, 6, 100.0 + i % 5000 + 0.25, nullptr);
        for (int c = 7; c < 30; ++c)
            worksheet_write_number(ws, r, lxw_col_t(c), c * 1.5, nullptr);
    }
    workbook_close(wb);
}

// Runs body in one transaction of its own on the bare client library and returns the milliseconds, commit included.
template <typename Body>
double timedRawTransaction(fb::Database& db, Body body) {
    QElapsedTimer t;
    t.start();
    isc_tr_handle tr = 0;
    ISC_STATUS_ARRAY st{};
    isc_start_transaction(st, &tr, 1, db.handle(), 5, kTpb);
    rawCheck(st);
    body(&tr);
    isc_commit_transaction(st, &tr);
    rawCheck(st);
    return ms(t);
}

// Raw insert of the staged rows (the same values the reader produced): the first parameter takes the line number
// (staging) or a running asset number (register), then account, description, date and amount.
double rawInsert(fb::Database& db, const QList<TBrenvikDatenimport>& rows, const char* sql, bool lineNumbers) {
    return timedRawTransaction(db, [&](isc_tr_handle* tr) {
        RawStmt ins(db.handle(), tr, sql, 5);
        qint32 nr = 0;
        double ahk = 0;
        ISC_TIMESTAMP ts{};
        QByteArray konto, desc;
        ins.param(0, SQL_LONG, &nr, 4);
        ins.param(3, SQL_TIMESTAMP, &ts, 8);
        ins.param(4, SQL_DOUBLE, &ahk, 8);
        for (const TBrenvikDatenimport& r : rows) {
            nr = lineNumbers ? r.zeile_nr : nr + 1;
            konto = r.konto_nr.toUtf8();
            desc = r.anlagebezeichnung.toUtf8();
            ins.param(1, SQL_TEXT, konto.data(), short(konto.size()));
            ins.param(2, SQL_TEXT, desc.data(), short(desc.size()));
            ts = fb::toIscTimestamp(r.anschaffungsdatum);
            ahk = r.ahk;
            ins.execute();
        }
    });
}

// Raw insert of whole staging rows: the statement the import writes, every column bound as it binds it.
double rawInsertStagingRows(fb::Database& db, const QList<TBrenvikDatenimport>& rows) {
    return timedRawTransaction(db, [&](isc_tr_handle* tr) {
        RawStmt ins(
            db.handle(), tr,
            "INSERT INTO DATENIMPORTE (BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, ZEILE_NR, KONTO_NR, "
            "ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, GRUPPE, ZUSAETZE, KATEGORIE_NR, LAGERUNG_AUSSEN, "
            "ELEKTRONIK_VERS, MASCHINEN_VERS, LEASING, GEMIETET, GEBAEUDE, GELOESCHT, ADRESS_NR, FESTE_TAXE, "
            "BEARBEITUNG, ANLAGENTYP_ID) VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
            "?)",
            21);
        qint32 mandant = 8, zeile = 0, kat = 0, adr = 0, typ = 0;
        double ahk = 0;
        ISC_TIMESTAMP now = fb::toIscTimestamp(BrvNow()), ts{};
        char flag[] = "0";
        char empty[] = "";
        QByteArray konto, desc;
        ins.param(0, SQL_LONG, &mandant, 4);
        ins.param(1, SQL_TIMESTAMP, &now, 8);
        ins.param(2, SQL_LONG, &zeile, 4);
        ins.param(5, SQL_TIMESTAMP, &ts, 8);
        ins.param(6, SQL_DOUBLE, &ahk, 8);
        ins.param(7, SQL_TEXT, empty, 0);
        ins.param(8, SQL_TEXT, empty, 0);
        ins.param(9, SQL_LONG, &kat, 4);
        for (int f = 10; f <= 16; ++f)
            ins.param(f, SQL_TEXT, flag, 1);
        ins.param(17, SQL_LONG, &adr, 4);
        ins.param(18, SQL_TEXT, flag, 1);
        ins.param(19, SQL_TEXT, flag, 1);
        ins.param(20, SQL_LONG, &typ, 4);
        for (const TBrenvikDatenimport& r : rows) {
            zeile = r.zeile_nr;
            konto = r.konto_nr.toUtf8();
            desc = r.anlagebezeichnung.toUtf8();
            ins.param(3, SQL_TEXT, konto.data(), short(konto.size()));
            ins.param(4, SQL_TEXT, desc.data(), short(desc.size()));
            ts = fb::toIscTimestamp(r.anschaffungsdatum);
            ahk = r.ahk;
            ins.execute();
        }
    });
}

// Raw takeover of new rows: the staged rows read, then whole register rows inserted with the statement the takeover
// writes, every column bound as it binds it.
double rawTakeoverWholeRows(fb::Database& db) {
    return timedRawTransaction(db, [&](isc_tr_handle* tr) {
        struct Row {
            QByteArray konto, desc;
            ISC_TIMESTAMP ts;
            double ahk;
        };
        std::vector<Row> rows;
        RawStmt sel(db.handle(), tr,
                    "SELECT ZEILE_NR, KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, GRUPPE, ZUSAETZE, "
                    "KATEGORIE_NR, LAGERUNG_AUSSEN, ELEKTRONIK_VERS, MASCHINEN_VERS, LEASING, GEMIETET, GEBAEUDE, "
                    "GELOESCHT, ADRESS_NR, FESTE_TAXE, BEARBEITUNG, ANLAGENTYP_ID FROM DATENIMPORTE "
                    "WHERE MANDANT_NR = 1 ORDER BY ZEILE_NR",
                    0);
        sel.execute();
        while (sel.fetch()) {
            const auto varying = [&](int c) {
                const char* d = sel.data[size_t(c)].data();
                return QByteArray(d + 2, *reinterpret_cast<const short*>(d));
            };
            Row r{varying(1), varying(2), *reinterpret_cast<const ISC_TIMESTAMP*>(sel.data[3].data()),
                  *reinterpret_cast<const double*>(sel.data[4].data())};
            rows.push_back(std::move(r));
        }
        RawStmt ins(db.handle(), tr,
                    "INSERT INTO VERSICHERUNGSWERTE ( BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, INSERT_TS, "
                    "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, AHK, LISTENPREIS, "
                    "VERSICHERUNGSWERT, GEMEINER_WERT, ZEITWERT, NUTZUNGSDAUER, ELEKTRONIK_VERS, MASCHINEN_VERS, "
                    "LAGERUNG_AUSSEN, KATEGORIE_NR, KATEGORIE_NR_UMBASIERT, ADRESS_NR, GELOESCHT, BEARBEITUNG, "
                    "GEBAEUDE, SOFTWARE, LEASING, GEMIETET, FESTE_TAXE, ABGANGSJAHR, GRUPPE, NOTIZTEXT, QUELLE, "
                    "UPDATE_CHECK, ANLAGEBEZEICHNUNG_ORG, ANSCHAFFUNGSDATUM_ORG, AHK_ORG, ANLAGENTYP_ID ) VALUES ( ?, "
                    "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, 0, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, "
                    "'1', ?, ?, ?, ? )",
                    31);
        qint32 one = 1, mandant = 7, nr = 0, sub = 0, year = 0, kat = 443, adr = 0, typ = 0;
        double ahk = 0, zero = 0;
        ISC_TIMESTAMP day = fb::toIscTimestamp(std::floor(BrvNow())), ts{};
        char flag[] = "0";
        char empty[] = "";
        char quelle[] = "IMPORT";
        ins.param(0, SQL_LONG, &one, 4);
        ins.param(1, SQL_LONG, &mandant, 4);
        ins.param(2, SQL_LONG, &nr, 4);
        ins.param(3, SQL_LONG, &sub, 4);
        ins.param(4, SQL_TIMESTAMP, &day, 8);
        ins.param(7, SQL_TIMESTAMP, &ts, 8);
        ins.param(8, SQL_LONG, &year, 4);
        ins.param(9, SQL_DOUBLE, &ahk, 8);
        ins.param(10, SQL_DOUBLE, &ahk, 8);
        ins.param(11, SQL_DOUBLE, &zero, 8);
        for (int f : {12, 13, 14, 17, 18, 19, 20, 21, 22, 23})
            ins.param(f, SQL_TEXT, flag, 1);
        ins.param(15, SQL_LONG, &kat, 4);
        ins.param(16, SQL_LONG, &adr, 4);
        ins.param(24, SQL_TEXT, empty, 0);
        ins.param(25, SQL_TEXT, empty, 0);
        ins.param(26, SQL_TEXT, quelle, 6);
        ins.param(28, SQL_TIMESTAMP, &ts, 8);
        ins.param(29, SQL_DOUBLE, &ahk, 8);
        ins.param(30, SQL_LONG, &typ, 4);
        for (Row& r : rows) {
            ++nr;
            ins.param(5, SQL_TEXT, r.konto.data(), short(r.konto.size()));
            ins.param(6, SQL_TEXT, r.desc.data(), short(r.desc.size()));
            ins.param(27, SQL_TEXT, r.desc.data(), short(r.desc.size()));
            ts = r.ts;
            year = 1990;
            ahk = r.ahk;
            ins.execute();
        }
    });
}

double rawReadUpdate(fb::Database& db) {
    return timedRawTransaction(db, [&](isc_tr_handle* tr) {
        RawStmt sel(db.handle(), tr,
                    "SELECT ANLAGE_NR, ANLAGE_SUB_NR, KONTO_NR, ANLAGEBEZEICHNUNG FROM VERSICHERUNGSWERTE WHERE "
                    "MANDANT_NR = 9",
                    0);
        RawStmt upd(db.handle(), tr,
                    "UPDATE VERSICHERUNGSWERTE SET UPDATE_TS = CURRENT_TIMESTAMP, UPDATE_CHECK = '1' WHERE "
                    "MANDANT_NR = 9 AND ANLAGE_NR = ? AND ANLAGE_SUB_NR = ?",
                    2);
        sel.execute();
        std::vector<std::pair<qint32, qint32>> keys;
        while (sel.fetch())
            keys.emplace_back(sel.intAt(0), sel.intAt(1));
        qint32 nr = 0, sub = 0;
        upd.param(0, SQL_LONG, &nr, 4);
        upd.param(1, SQL_LONG, &sub, 4);
        for (auto [a, b] : keys) {
            nr = a;
            sub = b;
            upd.execute();
        }
    });
}

QList<TBrenvikDatenimport> stagedRows() {
    QList<TBrenvikDatenimport> rows;
    BrvSql q(QStringLiteral("SELECT ZEILE_NR, KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK FROM DATENIMPORTE "
                            "WHERE MANDANT_NR = 1 ORDER BY ZEILE_NR"));
    while (q.next()) {
        TBrenvikDatenimport r;
        r.zeile_nr = q->asInt(0);
        r.konto_nr = q->asText(1);
        r.anlagebezeichnung = q->asText(2);
        r.anschaffungsdatum = q->asDateTime(3);
        r.ahk = q->asDouble(4);
        rows.append(r);
    }
    BrvCommit();
    return rows;
}

} // namespace

int main(int argc, char** argv) {
    RegisterGebSchemaHooks();
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const int n = argc > 1 ? std::atoi(argv[1]) : 65500;
    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("register.xlsx"));
    writeWorkbook(book, n);
    BenchDatabase bench;
    fb::Database& db = bench.db();
    BrvExec(QStringLiteral(
        "INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA, BENUTZER_NR_LOCK, LOCK_ATTACHMENT) VALUES "
        "(1, 1, 'Bench', 1, CURRENT_CONNECTION)"));
    BrvExec(QStringLiteral(
        "INSERT INTO INDEXWERTE (BRV_MANDANT_NR, KATEGORIE_NR, INDEXJAHR, INDEXWERT) VALUES (1, 443, 2024, 100)"));
    BrvCommit();

    QElapsedTimer t;
    t.start();
    const Worksheet ws = ReadWorkbook(book);
    const double parse = ms(t);

    double openpyxl = -1;
    {
        QProcess py;
        py.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys,time\ntry:\n import openpyxl\nexcept ImportError:\n print(-1); sys.exit()\n"
                            "t=time.perf_counter()\nwb=openpyxl.load_workbook(sys.argv[1],read_only=True)\n"
                            "n=0\nfor row in wb.worksheets[0].iter_rows(values_only=True):\n n+=len(row)\n"
                            "print((time.perf_counter()-t)*1000)"),
             book});
        if (py.waitForFinished(600000))
            openpyxl = QString::fromUtf8(py.readAllStandardOutput()).trimmed().toDouble();
    }

    t.restart();
    const ImportResult staged = ReadImportFile(1, book, ImportLayout::Excel, {});
    const double staging = ms(t);
    const QList<TBrenvikDatenimport> rows = stagedRows();
    const double rawStaging =
        rawInsert(db, rows,
                  "INSERT INTO DATENIMPORTE (BRV_MANDANT_NR, MANDANT_NR, ZEILE_NR, KONTO_NR, ANLAGEBEZEICHNUNG, "
                  "ANSCHAFFUNGSDATUM, AHK) VALUES (1, 9, ?, ?, ?, ?, ?)",
                  true);
    const double rawStagingRows = rawInsertStagingRows(db, rows);

    t.restart();
    const TakeoverResult first = TakeOverStaged(1, 443);
    const double takeoverNew = ms(t);
    const double rawNew =
        rawInsert(db, rows,
                  "INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, KONTO_NR, "
                  "ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, UPDATE_CHECK, QUELLE) VALUES (1, 9, ?, 0, ?, ?, ?, ?, "
                  "'1', 'IMPORT')",
                  false);
    const double rawNewWhole = rawTakeoverWholeRows(db);

    t.restart();
    const TakeoverResult second = TakeOverStaged(1, 443);
    const double takeoverAgain = ms(t);
    const double rawAgain = rawReadUpdate(db);

    // An index update: 2,000 descriptions and 60,000 values (30 years of each series).
    double indexImport = 0;
    {
        QByteArray d, v;
        for (int k = 1; k <= 2000; ++k)
            d += EncodeIndexDescription({k, k * 10, 0, QStringLiteral("Indexreihe %1 für Anlagen").arg(k),
                                         QStringLiteral("GP %1").arg(k), QStringLiteral("1"), 5 + k % 20});
        for (int year = 2024; year > 1994; --year)
            for (int k = 1; k <= 2000; ++k)
                v += EncodeIndexValue({k, year, 50.0 + k % 100 + (year - 1994)});
        QFile fd(dir.filePath(QStringLiteral("idxb_ex.dat"))), fv(dir.filePath(QStringLiteral("idx_ex.dat")));
        fd.open(QIODevice::WriteOnly);
        fd.write(d);
        fd.close();
        fv.open(QIODevice::WriteOnly);
        fv.write(v);
        fv.close();
        BrvExec(QStringLiteral("DELETE FROM INDEXWERTE"));
        BrvCommit();
        t.restart();
        const IndexImportResult r = ImportIndexFiles(dir.path(), {});
        indexImport = ms(t);
        std::printf("index update     %8.1f ms   (%d descriptions, %d values)\n", indexImport, r.descriptions,
                    r.values);
    }

    std::printf("rows: %d (records %d, staged %d, failed %d; new %d; confirmed %d)\n", n, staged.records, staged.staged,
                staged.failed, first.added, second.confirmed);
    std::printf("parse            %8.1f ms", parse);
    if (openpyxl > 0)
        std::printf("   openpyxl read-only %8.1f ms   faster by %.1f\n", openpyxl, openpyxl / parse);
    else
        std::printf("   (python3-openpyxl not installed)\n");
    std::printf("staging          %8.1f ms   parse + raw insert %8.1f ms   ratio %.2f\n", staging, parse + rawStaging,
                staging / (parse + rawStaging));
    std::printf("staging          %8.1f ms   parse + raw insert of whole rows %8.1f ms   ratio %.2f\n", staging,
                parse + rawStagingRows, staging / (parse + rawStagingRows));
    std::printf("takeover (new)   %8.1f ms   raw insert         %8.1f ms   ratio %.2f\n", takeoverNew, rawNew,
                takeoverNew / rawNew);
    std::printf("takeover (new)   %8.1f ms   raw read + insert of whole rows %8.1f ms   ratio %.2f\n", takeoverNew,
                rawNewWhole, takeoverNew / rawNewWhole);
    std::printf("takeover (again) %8.1f ms   raw read + update  %8.1f ms   ratio %.2f\n", takeoverAgain, rawAgain,
                takeoverAgain / rawAgain);
    Q_UNUSED(ws);
    return 0;
}
