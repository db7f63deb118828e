// The start of the program on a year-end installation: 200 clients and 65,500 assets in the installation's
// embedded database. Measured in one run: from the creation of the main window to a shown window whose client
// tree is filled (attach, schema check, parameters, user registration, lock clean-up, tree), against a raw baseline
// over the client library (attach, one transaction, the client list read, detach). Each is run three times after a
// warm-up; the median counts.
//   brenvik-bench-startup [CLIENTS] [ASSETS]

#include "app/frm_brenvik.h"
#include "bench/raw_fb.h"
#include "building/gebtypes.h"
#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"
#include "db/fb.h"
#include "platform/dialogs.h"
#include "session/brenvik_ini.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void populate(const brenvik::DbConfig& cfg, int clients, int assets) {
    fb::Database db;
    fb::Transaction tr(db);
    db.open(cfg.database, cfg.user, cfg.password);
    SetBrvConnection(&db, &tr);
    for (int m = 1; m <= clients; ++m)
        BrvExec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, FIRMA, MWST_PFLICHT) VALUES "
                               "(1, ?, ?, '0')"),
                m, QStringLiteral("Mandant %1 Maschinenbau GmbH & Co. KG").arg(m, 3, 10, QLatin1Char('0')));
    for (int i = 0; i < assets; ++i)
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR, "
                               "KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, ANSCHAFFUNGSJAHR, AHK, KATEGORIE_NR, "
                               "GELOESCHT, QUELLE, UPDATE_CHECK) VALUES (1, ?, ?, 0, ?, ?, ?, ?, ?, 443, '0', "
                               "'IMPORT', '1')"),
                1 + i % clients, 1 + i / clients, QStringLiteral("0%1").arg(400 + i % 90),
                QStringLiteral("Anlage %1 Maschine mit längerer Bezeichnung").arg(i),
                SqlTs{EncodeDate(1990 + i % 34, 1 + i % 12, 1 + i % 28)}, 1990 + i % 34, 100.0 + i % 5000);
    BrvCommit();
    SetBrvConnection(nullptr, nullptr);
}

double rawStart(const brenvik::DbConfig& cfg, int& clients) {
    QElapsedTimer t;
    t.start();
    ISC_STATUS_ARRAY st{};
    isc_db_handle db = 0;
    const QByteArray user = cfg.user.toUtf8(), password = cfg.password.toUtf8(), file = cfg.database.toUtf8();
    std::vector<char> dpb{isc_dpb_version1, isc_dpb_user_name, char(user.size())};
    dpb.insert(dpb.end(), user.begin(), user.end());
    dpb.push_back(isc_dpb_password);
    dpb.push_back(char(password.size()));
    dpb.insert(dpb.end(), password.begin(), password.end());
    const char charset[] = "UTF8";
    dpb.push_back(isc_dpb_lc_ctype);
    dpb.push_back(char(std::strlen(charset)));
    dpb.insert(dpb.end(), charset, charset + std::strlen(charset));
    isc_attach_database(st, 0, file.constData(), &db, short(dpb.size()), dpb.data());
    rawCheck(st);
    isc_tr_handle tr = 0;
    static const char tpb[] = "\x03\x09\x0f\x11\x06";
    isc_start_transaction(st, &tr, 1, &db, 5, tpb);
    rawCheck(st);
    clients = 0;
    {
        RawStmt sel(&db, &tr, "SELECT MANDANT_NR, FIRMA FROM MANDANTEN ORDER BY FIRMA", 0);
        sel.execute();
        while (sel.fetch())
            ++clients;
    }
    isc_commit_transaction(st, &tr);
    isc_detach_database(st, &db);
    return ms(t);
}

double windowStart(int& treeClients) {
    QElapsedTimer t;
    t.start();
    TfrmBrenvik w;
    w.StartUp();
    w.show();
    QApplication::processEvents();
    const double elapsed = ms(t);
    auto* tree = w.findChild<QTreeWidget*>(QStringLiteral("tvBrenvik"));
    treeClients = tree->topLevelItemCount() ? tree->topLevelItem(0)->child(0)->childCount() : 0;
    w.close();
    return elapsed;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    RegisterGebSchemaHooks();
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scopedDialogs(dialogs);
    const int clients = argc > 1 ? std::atoi(argv[1]) : 200;
    const int assets = argc > 2 ? std::atoi(argv[2]) : 65500;
    QTemporaryDir dir;
    qputenv("BRENVIK_DATA_DIR", dir.path().toUtf8());
    brenvik::PrepareFirstUse();
    const brenvik::DbConfig cfg = brenvik::ReadDbConfig(brenvik::IniFilePath());
    populate(cfg, clients, assets);

    int rawClients = 0, treeClients = 0;
    rawStart(cfg, rawClients);
    windowStart(treeClients);
    std::vector<double> raw, window;
    for (int i = 0; i < 3; ++i) {
        raw.push_back(rawStart(cfg, rawClients));
        window.push_back(windowStart(treeClients));
    }
    std::printf("installation: %d clients, %d assets (tree shows %d, raw read %d)\n", clients, assets, treeClients,
                rawClients);
    std::printf("start-up   raw attach + client list %8.1f ms   main window usable %8.1f ms   ratio %.2f\n",
                median(raw), median(window), median(window) / median(raw));
    if (!dialogs.calls.isEmpty())
        std::printf("messages on the way: %s\n", qPrintable(dialogs.messages().join(QStringLiteral(" | "))));
    fb::shutdownClient();
    return 0;
}
