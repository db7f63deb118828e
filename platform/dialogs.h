#pragma once
// The one interface through which windows and routines show messages, ask questions and run file, folder and
// input dialogs. It needs no window system: the application installs the Qt implementation (qt_dialogs.h), the
// command-line tool keeps the console one, and tests a scripted one that records every call and gives queued
// answers.

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

enum class MsgIcon { None, Information, Warning, Error, Question };
// YesNoDefaultNo: a question whose safe answer is No (Enter, Escape and a console run answer No).
enum class MsgButtons { Ok, Cancel, OkCancel, YesNo, YesNoCancel, YesNoDefaultNo };
enum class MsgResult { Ok, Cancel, Yes, No };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgResult message(const QString& text, MsgIcon icon, MsgButtons buttons, QWidget* parent = nullptr,
                              const QString& caption = {}) = 0;
    // Empty when cancelled.
    virtual QString openFile(const QString& caption, const QString& dir, const QString& filter,
                             QWidget* parent = nullptr) = 0;
    virtual QString saveFile(const QString& caption, const QString& dir, const QString& filter,
                             QWidget* parent = nullptr) = 0;
    virtual QString folder(const QString& caption, const QString& dir, QWidget* parent = nullptr) = 0;
    // False when cancelled; value holds the default on entry and the answer on return.
    virtual bool inputBox(const QString& caption, const QString& prompt, QString& value, QWidget* parent = nullptr) = 0;
};

Dialogs& dialogs();
// Installs d (not owned); nullptr goes back to the console implementation.
void setDialogs(Dialogs* d);

// Messages to standard error; questions get their default answer (No, Cancel); dialogs are cancelled.
class ConsoleDialogs : public Dialogs {
public:
    MsgResult message(const QString& text, MsgIcon icon, MsgButtons buttons, QWidget* parent,
                      const QString& caption) override;
    QString openFile(const QString&, const QString&, const QString&, QWidget*) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString&, QWidget*) override { return {}; }
    QString folder(const QString&, const QString&, QWidget*) override { return {}; }
    bool inputBox(const QString&, const QString&, QString&, QWidget*) override { return false; }
};

// Records every call; answers from queues (or the defaults: Ok / Yes where offered, No for YesNoDefaultNo, empty
// paths, cancel).
class ScriptedDialogs : public Dialogs {
public:
    struct Call {
        QString kind; // "message", "openFile", "saveFile", "folder", "inputBox"
        QString text; // message text or caption
        MsgIcon icon = MsgIcon::None;
        MsgButtons buttons = MsgButtons::Ok;
    };
    QList<Call> calls;
    QList<MsgResult> answers;
    QStringList paths;
    QStringList inputs;

    MsgResult message(const QString& text, MsgIcon icon, MsgButtons buttons, QWidget* parent,
                      const QString& caption) override;
    QString openFile(const QString& caption, const QString& dir, const QString& filter, QWidget* parent) override;
    QString saveFile(const QString& caption, const QString& dir, const QString& filter, QWidget* parent) override;
    QString folder(const QString& caption, const QString& dir, QWidget* parent) override;
    bool inputBox(const QString& caption, const QString& prompt, QString& value, QWidget* parent) override;

    QStringList messages() const;
};

// Installs a dialogs implementation for the life of the object.
class ScopedDialogs {
public:
    explicit ScopedDialogs(Dialogs& d);
    ~ScopedDialogs();

private:
    Dialogs* previous_;
};

} // namespace platform
