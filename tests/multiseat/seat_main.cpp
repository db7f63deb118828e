// One seat of the multi-seat tests: attaches to a server database and then
//   brv_seat seat DB USER PASS USERNR CLIENT    reads commands from its input, one per line, and answers each:
//       "take"  -> "<code> <holder> <microseconds>"   (MandantLock take of CLIENT for USERNR)
//       "give"  -> "<code>"                           (give-back)
//       "quit"  -> ends the seat in order (its locks given back, detached)
//   brv_seat hold DB USER PASS CLIENT SECONDS   holds an uncommitted change of the client row; prints "held"
//   brv_seat create DB USER PASS NUMBER START_MS FOLDER  saves a new client as the client tab does; prints
//                                                        "saved <number>" or "failed"

#include "session/client_workspace.h"
#include "db/brenvik_config.h"
#include "platform/dialogs.h"
#include "db/dbaccess.h"
#include "session/session.h"

#include <QDir>

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 7)
        return 2;
    session::Session session;
    try {
        session.open({a[2], QStringLiteral("EXTERN"), a[3], a[4]}, QDir::tempPath() + QLatin1Char('/'));
    } catch (const Exception& e) {
        std::printf("open failed: %s\n", e.what());
        return 1;
    }
    if (a[1] == QLatin1String("seat")) {
        const int userNr = a[5].toInt();
        const int client = a[6].toInt();
        SetBrvUserNr(userNr);
        std::string line;
        while (std::getline(std::cin, line)) {
            QString holder;
            if (line == "take") {
                QElapsedTimer t;
                t.start();
                const int r = MandantLock(true, userNr, client, holder);
                std::printf("%d %s %lld\n", r, holder.isEmpty() ? "-" : holder.toUtf8().constData(),
                            static_cast<long long>(t.nsecsElapsed() / 1000));
            } else if (line == "give") {
                std::printf("%d\n", MandantLock(false, userNr, client, holder));
            } else if (line == "quit") {
                MandantLock(false, userNr, -1, holder);
                break;
            }
            std::fflush(stdout);
        }
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
    session.detach();
    fb::shutdownClient();
    return 0;
}
