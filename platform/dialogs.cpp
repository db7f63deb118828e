#include "platform/dialogs.h"

#include <cstdio>

namespace platform {

namespace {
Dialogs* gCurrent = nullptr;

MsgResult defaultAnswer(MsgButtons b) {
    switch (b) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
        return MsgResult::Ok;
    case MsgButtons::Cancel:
        return MsgResult::Cancel;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgResult::Yes;
    case MsgButtons::YesNoDefaultNo:
        return MsgResult::No;
    }
    return MsgResult::Ok;
}
} // namespace

Dialogs& dialogs() {
    // Without a window system the messages go to standard error; the program installs the Qt dialogs at start.
    static ConsoleDialogs console;
    return gCurrent ? *gCurrent : console;
}

void setDialogs(Dialogs* d) {
    gCurrent = d;
}

ScopedDialogs::ScopedDialogs(Dialogs& d) : previous_(gCurrent) {
    gCurrent = &d;
}
ScopedDialogs::~ScopedDialogs() {
    gCurrent = previous_;
}

MsgResult ConsoleDialogs::message(const QString& text, MsgIcon, MsgButtons buttons, QWidget*, const QString&) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    std::fprintf(stderr, "%s\n", t.toUtf8().constData());
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoDefaultNo:
        return MsgResult::No;
    default:
        return MsgResult::Cancel;
    }
}

MsgResult ScriptedDialogs::message(const QString& text, MsgIcon icon, MsgButtons buttons, QWidget*, const QString&) {
    calls.append({QStringLiteral("message"), text, icon, buttons});
    return answers.isEmpty() ? defaultAnswer(buttons) : answers.takeFirst();
}
QString ScriptedDialogs::openFile(const QString& caption, const QString&, const QString&, QWidget*) {
    calls.append({QStringLiteral("openFile"), caption});
    return paths.isEmpty() ? QString() : paths.takeFirst();
}
QString ScriptedDialogs::saveFile(const QString& caption, const QString&, const QString&, QWidget*) {
    calls.append({QStringLiteral("saveFile"), caption});
    return paths.isEmpty() ? QString() : paths.takeFirst();
}
QString ScriptedDialogs::folder(const QString& caption, const QString&, QWidget*) {
    calls.append({QStringLiteral("folder"), caption});
    return paths.isEmpty() ? QString() : paths.takeFirst();
}
bool ScriptedDialogs::inputBox(const QString& caption, const QString&, QString& value, QWidget*) {
    calls.append({QStringLiteral("inputBox"), caption});
    if (inputs.isEmpty())
        return false;
    value = inputs.takeFirst();
    return true;
}
QStringList ScriptedDialogs::messages() const {
    QStringList out;
    for (const Call& c : calls)
        if (c.kind == QLatin1String("message"))
            out << c.text;
    return out;
}

} // namespace platform
