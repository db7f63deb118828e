// One seat of the multi-seat tests: attaches to a server database and takes a client lock, or holds an
// uncommitted change of a client row for a while.
//   brv_seat take DB USER PASS USERNR CLIENT START_MS   prints "<code> <holder>"
//   brv_seat hold DB USER PASS CLIENT SECONDS            prints "held" once the change is made
//   brv_seat create DB USER PASS NUMBER START_MS FOLDER  saves a new client as the client tab does; prints
//                                                        "saved <number>" or "failed"

#include "app/client_workspace.h"
#include "db/brenvik_config.h"
#include "platform/dialogs.h"
#include "db/dbaccess.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 7)
        return 2;
    fb::Database db;
    fb::Transaction tr(db);
    try {
        db.open(a[2], a[3], a[4]);
    } catch (const Exception& e) {
        std::printf("open failed: %s\n", e.what());
        return 1;
    }
    SetBrvConnection(&db, &tr);
    if (a[1] == QLatin1String("take") && a.size() >= 8) {
        const qint64 start = a[7].toLongLong();
        while (QDateTime::currentMSecsSinceEpoch() < start)
            QThread::usleep(200);
        QString holder;
        const int r = MandantLock(true, a[5].toInt(), a[6].toInt(), holder);
        std::printf("%d %s\n", r, holder.toUtf8().constData());
    } else if (a[1] == QLatin1String("create") && a.size() >= 8) {
        platform::ConsoleDialogs console;
        platform::ScopedDialogs scoped(console);
        workspace::ClientForm f;
        f.mandantNr = a[5];
        f.firma = QStringLiteral("Sitz ") + QString::number(QCoreApplication::applicationPid());
        f.betriebsart = QStringLiteral("41");
        f.sicherungspfad = a[7];
        f.isNew = true;
        const qint64 start = a[6].toLongLong();
        while (QDateTime::currentMSecsSinceEpoch() < start)
            QThread::usleep(200);
        const workspace::SaveResult r = workspace::SaveClient(f, {}, QStringLiteral("0"), {});
        if (r.saved)
            std::printf("saved %d\n", r.mandantNr);
        else
            std::printf("failed\n");
    } else if (a[1] == QLatin1String("hold")) {
        BrvExec(QStringLiteral("UPDATE MANDANTEN SET FIRMA = FIRMA WHERE MANDANT_NR = ?"), a[5].toInt());
        std::printf("held\n");
        std::fflush(stdout);
        QThread::sleep(a[6].toInt());
        BrvRollback();
    }
    std::fflush(stdout);
    SetBrvConnection(nullptr, nullptr);
    tr.rollback();
    db.close();
    fb::shutdownClient();
    return 0;
}
