#include "platform/qt_dialogs.h"

#include "platform/paths.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QInputDialog>
#include <QMessageBox>

namespace platform {

namespace {
QMessageBox::StandardButtons qtButtons(MsgButtons b) {
    switch (b) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::Cancel:
        return QMessageBox::Cancel;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoDefaultNo:
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

} // namespace

MsgResult QtDialogs::message(const QString& text, MsgIcon icon, MsgButtons buttons, QWidget* parent,
                             const QString& caption) {
    // Message texts carry Windows line breaks; Qt wants plain ones.
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(qtIcon(icon), caption.isEmpty() ? QApplication::applicationName() : caption, t, qtButtons(buttons),
                    parent ? parent : QApplication::activeWindow());
    if (buttons == MsgButtons::YesNoDefaultNo) {
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    }
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

namespace {

// The platform's file dialog where there is one; Qt's own is opened wide enough for its name, type and date columns.
QString runFileDialog(QFileDialog& d) {
    d.resize(d.sizeHint().expandedTo(QSize(820, 480)));
    if (auto* list = d.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return {};
    return d.selectedFiles().first();
}

} // namespace

QString QtDialogs::openFile(const QString& caption, const QString& dir, const QString& filter, QWidget* parent) {
    QFileDialog d(parent, caption, dir, filter);
    d.setFileMode(QFileDialog::ExistingFile);
    return runFileDialog(d);
}
QString QtDialogs::saveFile(const QString& caption, const QString& dir, const QString& filter, QWidget* parent) {
    QFileDialog d(parent, caption, dir, filter);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    d.setOption(QFileDialog::DontConfirmOverwrite);
    return runFileDialog(d);
}
QString QtDialogs::folder(const QString& caption, const QString& dir, QWidget* parent) {
    QFileDialog d(parent, caption, dir);
    d.setFileMode(QFileDialog::Directory);
    d.setOption(QFileDialog::ShowDirsOnly);
    return runFileDialog(d);
}
bool QtDialogs::inputBox(const QString& caption, const QString& prompt, QString& value, QWidget* parent) {
    bool ok = false;
    QString v = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok)
        value = v;
    return ok;
}

} // namespace platform

namespace platform {
namespace {
ModalRunner& modalRunner() {
    static ModalRunner runner;
    return runner;
}
} // namespace

void setUpApplication() {
    QApplication::setApplicationName(QStringLiteral("Brenvik"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brenvik"));
    useGermanLocaleWhenUnset();
    loadGermanQtTranslations();
}

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
