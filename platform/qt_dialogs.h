#pragma once
// The dialogs interface on Qt Widgets (message boxes, file, folder and input dialogs), and the one way every modal
// window of the program is shown.

#include "platform/dialogs.h"

#include <functional>

class QDialog;

namespace platform {

class QtDialogs : public Dialogs {
public:
    MsgResult message(const QString& text, MsgIcon icon, MsgButtons buttons, QWidget* parent,
                      const QString& caption) override;
    QString openFile(const QString& caption, const QString& dir, const QString& filter, QWidget* parent) override;
    QString saveFile(const QString& caption, const QString& dir, const QString& filter, QWidget* parent) override;
    QString folder(const QString& caption, const QString& dir, QWidget* parent) override;
    bool inputBox(const QString& caption, const QString& prompt, QString& value, QWidget* parent) override;
};

// The application's name, its German conventions where the system has none, and Qt's own texts in German: what
// the program sets up right after its application object (and the picture tool with it, to look the same).
void setUpApplication();

// Every modal window of the program is shown through here, so that tests can drive a dialog (fill its fields,
// press its buttons) instead of blocking in its event loop. Returns the dialog's result code.
int execModal(QDialog& dialog);
using ModalRunner = std::function<int(QDialog&)>;
// Installs a runner (nullptr goes back to QDialog::exec); returns the previous one.
ModalRunner setModalRunner(ModalRunner runner);

} // namespace platform
