// Test entry: a widget application on the offscreen platform, the German reference locale, and scripted
// dialogs so that no test ever blocks on a message box.

#include "building/gebtypes.h"
#include "db/fb.h"
#include "platform/paths.h"
#include "support/fixtures.h"

#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    RegisterGebSchemaHooks();
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    platform::loadGermanQtTranslations();
    platform::ScriptedDialogs fallback;
    platform::ScopedDialogs scoped(fallback);
    const int rc = RUN_ALL_TESTS();
    fb::shutdownClient();
    return rc;
}
