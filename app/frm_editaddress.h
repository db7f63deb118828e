#pragma once
// Adds or edits one address (location) of a client.

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

class Tfrm_EditAddress : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_EditAddress(QWidget* parent = nullptr);

    int iClientID = 0;
    QString sClientName;
    bool bAdd = true;
    int iAddressNr = 0;

    // Sets the number of the new address; false (after an error message) when the database cannot give it.
    bool InitForm_AddAddress(int clientNr);
    void FormShow();
    void btnSpeichernClick();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void fillStandorttypen();
    QLineEdit* edit(const char* name);

    QGroupBox* grpMandant_ = nullptr;
    QLineEdit *edAdress_nr, *edAdressbezeichnung, *edStrasse, *edHausnummer, *edZusatz, *edLand, *edPLZ, *edOrt,
        *edPostfach_PLZ, *edPostfach, *edTelefon1, *edTelefon2, *edFax, *edMobiltelefon, *edEMail1, *edURL,
        *edAnsprechpartner, *edZusatzinformationen;
    QComboBox* cbxStandorttyp_Nr = nullptr;
};
