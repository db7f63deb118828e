#include "app/frm_brenvik.h"
#include "building/gebtypes.h"
#include "db/fb.h"
#include "platform/qt_dialogs.h"
#include "platform/paths.h"

#include <QApplication>
#include <QFont>
#include <QSessionManager>

#include <cstdio>

int main(int argc, char** argv) {
    // Before any thread starts: the termination signals are taken on a thread of their own (see onTerminationSignal).
    platform::blockTerminationSignals();
    RegisterGebSchemaHooks();
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
#ifndef Q_OS_WIN
        std::fprintf(stderr,
                     "Brenvik braucht eine grafische Oberfläche, aber es ist keine Anzeige vorhanden "
                     "(DISPLAY ist nicht gesetzt).\nStarten Sie das Programm in einer Desktop-Sitzung oder "
                     "mit einem virtuellen Bildschirm, zum Beispiel: xvfb-run -a %s\n",
                     argv[0]);
        return 2;
#endif
    }
    platform::preferGermanSystemLocale();
    QApplication app(argc, argv);
    platform::setUpApplication();
    platform::QtDialogs qtDialogs;
    platform::setDialogs(&qtDialogs);

    platform::SingleInstanceGuard guard;
    if (!guard.acquire()) {
        platform::dialogs().message(QStringLiteral("Das Programm ist bereits aktiv."), platform::MsgIcon::Warning,
                                    platform::MsgButtons::Cancel);
        return 1;
    }
    TfrmBrenvik w;
    // A signal during the start-up is taken once the event loop runs, and closes the window then.
    platform::onTerminationSignal([&w] {
        QApplication::closeAllWindows(); // open dialogs too
        w.close();                       // locks released, database detached
        QCoreApplication::exit(0);
    });
    // The end of the desktop session closes like "Programm beenden".
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &w, [&w](QSessionManager&) { w.close(); }, Qt::DirectConnection);
    w.StartUp();
    w.show();
    const int rc = QApplication::exec();
    fb::shutdownClient();
    return rc;
}
