#include "platform/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>

namespace platform {

namespace {
Dialogs* gCurrent = nullptr;

QMessageBox::StandardButtons qtButtons(MsgButtons b) {
    switch (b) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::Cancel:
        return QMessageBox::Cancel;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon qtIcon(MsgIcon i) {
    switch (i) {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

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
    }
    return MsgResult::Ok;
}
} // namespace

Dialogs& dialogs() {
    static QtDialogs qt;
    return gCurrent ? *gCurrent : qt;
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

MsgResult QtDialogs::message(const QString& text, MsgIcon icon, MsgButtons buttons, QWidget* parent,
                             const QString& caption) {
    // Message texts carry Windows line breaks; Qt wants plain ones.
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(qtIcon(icon), caption.isEmpty() ? QApplication::applicationName() : caption, t, qtButtons(buttons),
                    parent ? parent : QApplication::activeWindow());
    switch (box.exec()) {
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    case QMessageBox::Ok:
        return MsgResult::Ok;
    default:
        return MsgResult::Cancel;
    }
}

QString QtDialogs::openFile(const QString& caption, const QString& dir, const QString& filter, QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}
QString QtDialogs::saveFile(const QString& caption, const QString& dir, const QString& filter, QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}
QString QtDialogs::folder(const QString& caption, const QString& dir, QWidget* parent) {
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}
bool QtDialogs::inputBox(const QString& caption, const QString& prompt, QString& value, QWidget* parent) {
    bool ok = false;
    QString v = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = v;
    return ok;
}

MsgResult ConsoleDialogs::message(const QString& text, MsgIcon, MsgButtons buttons, QWidget*, const QString&) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    std::fprintf(stderr, "%s\n", t.toUtf8().constData());
    switch (buttons) {
    case MsgButtons::Ok:
        return MsgResult::Ok;
    case MsgButtons::YesNo:
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

namespace platform {
namespace {
ModalRunner& modalRunner() {
    static ModalRunner runner;
    return runner;
}
} // namespace

int execModal(QDialog& dialog) {
    if (modalRunner())
        return modalRunner()(dialog);
    return dialog.exec();
}

ModalRunner setModalRunner(ModalRunner runner) {
    ModalRunner previous = std::move(modalRunner());
    modalRunner() = std::move(runner);
    return previous;
}
} // namespace platform
