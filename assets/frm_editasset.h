#pragma once
// "Anlage bearbeiten": one asset with all its fields, its valuation, picture and deletion mark; browsing through
// the register within the list's filter.

#include <QDialog>
#include <QPixmap>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

class Tfrm_EditAsset : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_EditAsset(QWidget* parent = nullptr);

    int iClientID = 0;
    QString sClientName;
    bool bVAT = false;
    int iAnlageNr = 0;
    int iAnlageSubNr = 0;
    bool bAdd = false;
    bool bAHK = false, bVWVal = false, bToDos = false;
    QString fileNamePicture;
    bool bSave = false;

    // The account number a new related asset starts with.
    void presetKontoNr(const QString& konto) { presetKonto_ = konto; }

    void FormShow();
    void LoadAsset();
    void IndexCheck(bool withMessage);
    void IndexLookUp();
    void CalcVersWertClick();
    void CalcZeitWertClick();
    void FesteTaxeClick();
    void F3();
    // The checks and the write; false (after the message) when something is not valid or the write failed.
    bool SaveAsset();
    void SpeichernClick();
    void NaechsterClick();
    void VorigerClick();
    void LoeschmarkierungClick();
    QString GetMandantImageFolder();
    void LoadImage();
    void SelectImage();
    void RemoveImage();
    void ShowOriginalSize();

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void clearFields();
    void fillLists(int adressNr, const QString& gruppe, int anlagentyp);
    void browseTo(int anlageNr);
    QLineEdit* line(const char* name);
    QCheckBox* check(const char* name, const QString& text);

    QGroupBox* grpMandant_ = nullptr;
    QLineEdit *edAnlage_nr, *edAnlage_Subnr, *edKonto_nr, *edAnlagebezeichnung, *edAnschaffungsdatum, *edAHK,
        *edVersWert, *edGemeiner_Wert, *edZeitwert, *edNutzungsdauer, *edKategorieNr, *edAbgangsjahr;
    QLabel *lbIndexbezeichnung, *lbOrgBezeichnung, *lbOrgDatum, *lbOrgAHK;
    QComboBox *cbbxGruppe, *cbbxNotes, *cbbxAdresse, *cbxAnlagentyp;
    QPlainTextEdit* memNotiztext = nullptr;
    QCheckBox *cbxElektronik_Vers, *cbxMaschinen_Vers, *cbxLagerung_Aussen, *cbxBearbeitung, *cbxGebaeude, *cbxSoftware,
        *cbxLeasing, *cbxGemietet, *cbxFeste_Taxe, *cbxGeloescht;
    QPushButton *btnVersWert, *btnZeitwert, *btnLoeschmarkierung, *btnVoriger, *btnNaechster;
    QLabel* imgAsset = nullptr;
    QPixmap picture_;
    QWidget* pnlOriginal_ = nullptr;
    QLabel* imgOriginal_ = nullptr;
    QString presetKonto_;
    // What an edit keeps although the window does not show it.
    QString storedQuelle_, storedUpdateCheck_;
    double storedListenpreis_ = 0;
    int storedUmbasiert_ = 0;
};
