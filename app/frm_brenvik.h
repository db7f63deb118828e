#pragma once
// The main window: client tree, the two right-hand panels with the client workspace, the event log and the
// start-up of the program.

#include "session/client_workspace.h"
#include "building/gebmodel.h"
#include "db/brenvik_types.h"
#include "db/fb.h"

#include <QList>
#include <QMainWindow>

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
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

    // Client workspace.
    void LoadMandantData();
    void ReloadAddressList();
    void ReloadMeasureList();
    void ReloadObjektAdressen();
    // The building objects of the shown client.
    void ReloadObjekte();
    std::optional<TGebObjekt> GetSelectedObjekt() const;
    void NewObjekt();
    void OpenSelectedObjekt();
    void DeleteSelectedObjekt();
    void ShowObjekt(TGebObjekt& o);
    QString ReadUseBackupFolderDb();
    QString GetMandantFileFolder();

    // The click on the selected tree node (the lock protocol), and the popup menu's preparation for it.
    void TreeClick();
    void PreparePopup();
    // The handlers of the tab "Kundendaten" and of the client functions.
    void NewMandant();
    void SaveMandantClick();
    void ResetMandantClick();
    void DeleteMandantClick();
    void BrowseStorageFolder();
    void ProposeStorageFolder();
    void LookUpBetriebsart();
    void ShowBetriebsart();
    void AddAddress();
    void EditAddress();
    void DeleteAddress();
    void AddMeasures();
    void EditMeasures();
    void DeleteMeasures();
    void SettingsClick();
    // "Datensicherung" and "Datenrücksicherung" of the menu "Datei".
    void BackupClick();
    void RestoreClick();
    void AboutClick();
    // The tab "Inventar".
    void InventarShow();
    void ReLoadAddress();
    void ReloadSumValues();
    // False (after the warning) when an input is no number or the deductions exceed the asset sum.
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
    int iClientID = 0;
    int iClientID_old = 0;
    QTreeWidgetItem* tnSelNode = nullptr;
    QList<TBrenvikAdresse> FAdressListe;
    QList<TGebObjekt> FObjekte;
    // Written as the creator into new building objects.
    QString sOwnerName;

    fb::Database IBBrvDB;
    fb::Transaction IBBrvTrans{IBBrvDB};

    QString logText() const;

    static QString productVersion();
    static QString webAddress();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildUi();
    QWidget* buildKundendaten();
    QWidget* buildGebaeude();
    QWidget* buildInventar();
    void buildMenu();
    void buildPopup();
    workspace::SelectedNode selectedNode() const;
    bool isClientNode(const QTreeWidgetItem* n) const;
    int selectedRowNumber(QTreeWidget* list) const;
    void setSaveEnabled(bool save, bool reset);
    void expandAll();

    QTreeWidget* tvBrenvik = nullptr;
    QStackedWidget* panels_ = nullptr;
    QWidget* pnlMain = nullptr;
    QWidget* pnlMandant = nullptr;
    QTabWidget* PageControl1 = nullptr;
    QPlainTextEdit* redLog = nullptr;
    QLabel* statusPanel_ = nullptr;
    bool closed_ = false;
    bool bNewClient_ = false;

    QLineEdit *edMandant_nr, *edFirma, *edName1, *edName2, *edBetriebsart, *edSicherungspfad;
    QLabel* lbBetriebsart_bez = nullptr;
    QTreeWidget *lvAdressen, *lvKennzahlen;
    QCheckBox* cbxMwst_Pflicht = nullptr;
    QPushButton *btnSpeichern, *btnZuruecksetzen;
    // Everything that writes the shown client's data: enabled only while this seat holds the client's lock.
    QList<QPushButton*> clientWriteButtons_;
    QComboBox* cmbAdressen = nullptr;
    QTreeWidget* lvObjekte = nullptr;
    QLabel* lbLetzterImport = nullptr;
    QComboBox* cbAdresse = nullptr;
    QLineEdit *edSummeAnlagen, *edSummeKFZ, *edSummeFinanzanlagen, *edZwischensumme, *edSummeVorraete, *edSummeVorsorge,
        *edSummeInventar, *edSummeInventarRnd;

    QMenu* pmnuClientFunc = nullptr;
    QAction *pmMandantHinzufuegen, *pmMandantLoeschen, *pmDatenimport, *pmVersicherungswert, *pmBerichte;
};
