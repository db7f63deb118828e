#include "app/frm_brenvik.h"
#include "db/fb.h"
#include "platform/dialogs.h"
#include "platform/paths.h"

#include <QApplication>
#include <QFont>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
#ifndef Q_OS_WIN
        std::fprintf(stderr, "Brenvik braucht eine grafische Oberfläche, aber es ist keine Anzeige vorhanden "
                             "(DISPLAY ist nicht gesetzt).\nStarten Sie das Programm in einer Desktop-Sitzung oder "
                             "mit einem virtuellen Bildschirm, zum Beispiel: xvfb-run -a %s\n",
                     argv[0]);
        return 2;
#endif
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brenvik"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brenvik"));
    platform::useGermanLocaleWhenUnset();

    platform::SingleInstanceGuard guard;
    if (!guard.acquire()) {
        platform::dialogs().message(QStringLiteral("Das Programm ist bereits aktiv."), platform::MsgIcon::Warning,
                                    platform::MsgButtons::Cancel);
        return 1;
    }
    TfrmBrenvik w;
    w.StartUp();
    w.show();
    platform::onTerminationSignal([&w] { w.close(); });
    const int rc = QApplication::exec();
    fb::shutdownClient();
    return rc;
}
