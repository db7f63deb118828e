#pragma once
// The tab "Kundendaten" of the client workspace: the client's master data, its addresses and key figures, the
// storage folder, "Speichern" and "Zurücksetzen".

#include "db/brenvik_types.h"

#include <QList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TfrmBrenvik;

class TTabKundendaten : public QWidget {
    Q_OBJECT
public:
    explicit TTabKundendaten(TfrmBrenvik& main);
    ~TTabKundendaten() override;

    // The stored client in the fields, with its addresses and key figures.
    void ShowMandant(const TBrenvikMandant& m);
    // Empty fields for a new client; its number as far as it is known (0 on a server: numbered at the save).
    void ShowNewMandant(int mandantNr);
    void ReloadAddressList();
    void ReloadMeasureList();
    void ShowBetriebsart();
    bool MwstPflicht() const;

    void SaveMandantClick();
    void ResetMandantClick();
    void LookUpBetriebsart();
    void BrowseStorageFolder();
    void ProposeStorageFolder();
    void AddAddress();
    void EditAddress();
    void DeleteAddress();
    void AddMeasures();
    void EditMeasures();
    void DeleteMeasures();

    // The buttons that write the client's rows (enabled only while this seat holds the client's lock).
    QList<QPushButton*> writeButtons() const { return writeButtons_; }
    QPushButton* saveButton() const { return btnSpeichern; }
    QPushButton* resetButton() const { return btnZuruecksetzen; }

private:
    // Adding rows needs a saved client: rows of a new client that is then abandoned would stay behind and belong
    // to the next client of that number.
    bool clientReadyForRows();

    TfrmBrenvik& main_;
    QLineEdit *edMandant_nr, *edFirma, *edName1, *edName2, *edBetriebsart, *edSicherungspfad;
    QLabel* lbBetriebsart_bez = nullptr;
    QTreeWidget *lvAdressen, *lvKennzahlen;
    QCheckBox* cbxMwst_Pflicht = nullptr;
    QPushButton *btnSpeichern, *btnZuruecksetzen;
    QList<QPushButton*> writeButtons_;
};
