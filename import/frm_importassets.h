#pragma once
// "Import von Anlagedaten": reads a client's asset list, shows the preview, and takes it over into the register.

#include "import/importer.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

class Tfrm_ImportAssets : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_ImportAssets(QWidget* parent = nullptr);

    int iClientID = 0;
    QString sClientName;
    QString sBAKFLD;
    QString sUSE_BACKUP_FOLDER_DB;
    bool bSave = false;
    int iDBError = 0;

    void FormShow();
    void BrowseClick();
    void IndexLookUp();
    void ShowIndexText();
    void PruefenClick();
    void UebernehmenClick();
    // "Letzte Datenübernahmen": the client's takeovers from the journal.
    void LoadTakeovers();

protected:
    void showEvent(QShowEvent* e) override;

private:
    QLabel* lbMandant_ = nullptr;
    QComboBox* cbbxFiletype = nullptr;
    QLineEdit *edFileName, *edKategorieNr, *edStatus;
    QLabel *lbIndexbezeichnung, *lbListviewSum, *lbDBCount;
    QCheckBox *cbxImportGruppe, *cbxImportZusatz, *cbxImportKategorie;
    QTreeWidget* lvImportData = nullptr;
    QLabel* lbImportSumme = nullptr;
    QTreeWidget* lvImportFehler = nullptr; // rows of the file that were read but not staged
    QTreeWidget* lvUebernahmen = nullptr;  // the client's last takeovers
    ImportResult lastRead_;                // what the last read staged and what it could not
};

// "Information Import": the descriptions that were cut to 100 characters.
class TFrmImportInfo : public QDialog {
    Q_OBJECT
public:
    explicit TFrmImportInfo(QWidget* parent = nullptr);
    void setLines(const QStringList& lines);
    void SaveClick();
    QString fileName = QStringLiteral("ImportInfo");

private:
    QPlainTextEdit* memInfo_ = nullptr;
};
