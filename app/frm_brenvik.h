#pragma once
// The main window: the client tree, the two right-hand panels with the client workspace (one class per tab), the
// event log and the start-up of the program on its session.

#include "building/gebmodel.h"
#include "db/brenvik_types.h"
#include "session/client_workspace.h"
#include "session/session.h"

#include <QList>
#include <QMainWindow>

#include <functional>
#include <optional>

namespace platform {
class IniProfile;
}
class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TTabGebaeude;
class TTabInventar;
class TTabKundendaten;

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

    // Client workspace.
    void LoadMandantData();
    QString ReadUseBackupFolderDb();
    QString GetMandantFileFolder();
    // A client saved on the tab "Kundendaten": the tree shows it, the lock decides what may be written.
    void ClientSaved(int mandantNr);
    // The addresses of the client changed: every tab that lists them reads them again.
    void AddressesChanged();

    // The click on the selected tree node (the lock protocol), and the popup menu's preparation for it.
    void TreeClick();
    void PreparePopup();
    // The client functions.
    void NewMandant();
    void DeleteMandantClick();
    void SettingsClick();
    // "Datensicherung" and "Datenrücksicherung" of the menu "Datei".
    void BackupClick();
    void RestoreClick();
    void AboutClick();

    // The tabs' work, as the window's menu and tests reach it.
    void ReloadObjektAdressen();
    void NewObjekt();
    void DeleteSelectedObjekt();
    bool CalcSumValues();
    void ExportInventory();

    // "Datenimport", "Versicherungswertermittlung", "Berichte": the lock check, then the window.
    void RunClientFunction(workspace::ClientFunction f);

    // Opens the working window of a client function once the lock check passed. The windows of the import,
    // the valuation and the reports are connected here as they come.
    std::function<void(workspace::ClientFunction, int clientNr, const QString& clientName)> openClientWindow;

    // State (see the field lists of the main window).
    QString sAppPath;
    QString sCommonFilesPath;
    QString sDBPath, sDBUser, sDBPass, sDBType;
    QString sLastErrMsg;
    int iUserNr = 0;
    QString sUserName;
    bool bServer = false;
    QString sBAKFLD;
    QString sUSE_BACKUP_FOLDER_DB;
    // The client shown on the tabs (0: none, or a new one that a server numbers at its save).
    int iClientID = 0;
    int iClientID_old = 0;
    QTreeWidgetItem* tnSelNode = nullptr;
    // Written as the creator into new building objects.
    QString sOwnerName;

    QString logText() const;

    static QString productVersion();
    static QString webAddress();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    friend class TTabKundendaten;
    friend class TTabGebaeude;
    friend class TTabInventar;

    void buildUi();
    static int treeWidth(const platform::IniProfile& ini);
    void storeTreeWidth();
    void buildMenu();
    void buildPopup();
    workspace::SelectedNode selectedNode() const;
    bool isClientNode(const QTreeWidgetItem* n) const;
    void setSaveEnabled(bool save, bool reset);
    void expandAll();

    // The database session of this seat: opened at the start, ended in order at the close.
    session::Session session_;
    QTreeWidget* tvBrenvik = nullptr;
    QStackedWidget* panels_ = nullptr;
    QWidget* pnlMain = nullptr;
    QWidget* pnlMandant = nullptr;
    QTabWidget* PageControl1 = nullptr;
    TTabKundendaten* kundendaten_ = nullptr;
    TTabGebaeude* gebaeude_ = nullptr;
    TTabInventar* inventar_ = nullptr;
    QPlainTextEdit* redLog = nullptr;
    QLabel* statusPanel_ = nullptr;
    bool closed_ = false;
    bool bNewClient_ = false;
    // Everything that writes the shown client's data: enabled only while this seat holds the client's lock.
    QList<QPushButton*> clientWriteButtons_;

    QMenu* pmnuClientFunc = nullptr;
    QAction *pmMandantHinzufuegen, *pmMandantLoeschen, *pmDatenimport, *pmVersicherungswert, *pmBerichte;
};
