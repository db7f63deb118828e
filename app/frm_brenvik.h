#pragma once
// The main window: client tree, the two right-hand panels, the event log and the start-up of the program.

#include "db/fb.h"

#include <QMainWindow>

class QAction;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QWidget;

class TfrmBrenvik : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmBrenvik(QWidget* parent = nullptr);
    ~TfrmBrenvik() override;

    // The creation steps after the window is built: login name, database, parameters, user, client tree.
    void StartUp();

    void WriteLog(const QString& code, const QString& text);
    void OpenDatabaseFromConfig();
    void ReadParameters();
    void CloseDatabase();
    void LoadClientTree();

    // State (see the field list of the main window).
    QString sAppPath;
    QString sCommonFilesPath;
    QString sDBPath, sDBUser, sDBPass, sDBType;
    QString sLastErrMsg;
    int iUserNr = 0;
    QString sUserName;
    bool bServer = false;
    QString sBAKFLD;
    QString sUSE_BACKUP_FOLDER_DB;

    fb::Database IBBrvDB;
    fb::Transaction IBBrvTrans{IBBrvDB};

    QString logText() const;

    static QString productVersion();
    static QString webAddress();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildUi();
    void buildMenu();

    QTreeWidget* tvBrenvik = nullptr;
    QStackedWidget* panels_ = nullptr;
    QWidget* pnlMain = nullptr;
    QWidget* pnlMandant = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QPlainTextEdit* redLog = nullptr;
    QLabel* statusPanel_ = nullptr;
    bool closed_ = false;
};
