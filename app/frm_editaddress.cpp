#include "app/frm_editaddress.h"

#include "platform/ui_common.h"
#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "platform/dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tfrm_EditAddress::Tfrm_EditAddress(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_EditAddress"));
    resize(480, 560);
    auto* top = new QVBoxLayout(this);
    grpMandant_ = new QGroupBox;
    grpMandant_->setObjectName(QStringLiteral("grpMandant"));
    auto* form = new QFormLayout(grpMandant_);
    auto add = [&](const char* label, QLineEdit*& e, const char* name) {
        e = edit(name);
        form->addRow(QString::fromUtf8(label), e);
    };
    add("Adressnummer", edAdress_nr, "edAdress_nr");
    edAdress_nr->setEnabled(false);
    edAdress_nr->setFocusPolicy(Qt::NoFocus);
    add("Adressbezeichnung", edAdressbezeichnung, "edAdressbezeichnung");
    add("Strasse", edStrasse, "edStrasse");
    add("Hausnummer", edHausnummer, "edHausnummer");
    add("Zusatz", edZusatz, "edZusatz");
    add("Land", edLand, "edLand");
    edLand->setText(QStringLiteral("D"));
    add("Postleitzahl", edPLZ, "edPLZ");
    add("Ort", edOrt, "edOrt");
    add("PLZ Postfach", edPostfach_PLZ, "edPostfach_PLZ");
    add("Postfach", edPostfach, "edPostfach");
    add("1.Telefonnummer", edTelefon1, "edTelefon1");
    add("2.Telefonnummer", edTelefon2, "edTelefon2");
    add("Faxnummer", edFax, "edFax");
    add("Mobiltelefonnummer", edMobiltelefon, "edMobiltelefon");
    add("EMail-Adresse", edEMail1, "edEMail1");
    add("Internetadresse", edURL, "edURL");
    edURL->setText(QStringLiteral("http://"));
    add("Ansprechpartner", edAnsprechpartner, "edAnsprechpartner");
    cbxStandorttyp_Nr = new QComboBox;
    cbxStandorttyp_Nr->setObjectName(QStringLiteral("cbxStandorttyp_Nr"));
    form->addRow(QStringLiteral("Standorttyp"), cbxStandorttyp_Nr);
    add("Zusatzinformationen", edZusatzinformationen, "edZusatzinformationen");
    // The column widths of ADRESSEN: longer input would only fail at the save.
    const std::pair<QLineEdit*, int> limits[] = {{edAdressbezeichnung, 200},
                                                 {edStrasse, 200},
                                                 {edHausnummer, 30},
                                                 {edZusatz, 200},
                                                 {edLand, 100},
                                                 {edPLZ, 20},
                                                 {edOrt, 200},
                                                 {edPostfach_PLZ, 20},
                                                 {edPostfach, 50},
                                                 {edTelefon1, 50},
                                                 {edTelefon2, 50},
                                                 {edFax, 50},
                                                 {edMobiltelefon, 50},
                                                 {edEMail1, 200},
                                                 {edURL, 250},
                                                 {edAnsprechpartner, 200},
                                                 {edZusatzinformationen, 2000}};
    for (const auto& [e, n] : limits)
        e->setMaxLength(n);
    top->addWidget(grpMandant_);

    connect(AddSaveCancelButtons(this, top), &QPushButton::clicked, this, &Tfrm_EditAddress::btnSpeichernClick);
}

QLineEdit* Tfrm_EditAddress::edit(const char* name) {
    auto* e = new QLineEdit;
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

bool Tfrm_EditAddress::InitForm_AddAddress(int clientNr) {
    try {
        iAddressNr = GetNextAdressNr(clientNr);
        edAdress_nr->setText(QString::number(iAddressNr));
        return true;
    } catch (const std::exception&) {
        platform::dialogs().message(QStringLiteral("Fehler bei dem Zugriff auf die Adressdatenbank.\r\nBitte "
                                                   "informieren Sie Ihren Administrator."),
                                    platform::MsgIcon::Error, platform::MsgButtons::Cancel, this);
        return false;
    }
}

void Tfrm_EditAddress::fillStandorttypen() {
    cbxStandorttyp_Nr->clear();
    if (const auto types = GetStandortTypen()) {
        for (const TBrenvikStandortTypen& t : *types)
            cbxStandorttyp_Nr->addItem(t.standort_bezeichnung, t.standorttyp_nr);
    }
    cbxStandorttyp_Nr->setCurrentIndex(-1);
}

void Tfrm_EditAddress::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_EditAddress::FormShow() {
    grpMandant_->setTitle(QStringLiteral("Mandant  ") + LiteralCaption(sClientName) + QStringLiteral(" (") +
                          QString::number(iClientID) + QLatin1Char(')'));
    try {
        fillStandorttypen();
        if (bAdd)
            return;
        TBrenvikAdresse a;
        GetAdresse(iClientID, iAddressNr, a);
        edAdress_nr->setText(QString::number(iAddressNr));
        edAdressbezeichnung->setText(a.adressbezeichnung);
        edStrasse->setText(a.strasse);
        edHausnummer->setText(a.hausnummer);
        edZusatz->setText(a.zusatz);
        edLand->setText(a.land);
        edPLZ->setText(a.plz);
        edOrt->setText(a.ort);
        edPostfach_PLZ->setText(a.postfach_plz);
        edPostfach->setText(a.postfach);
        edTelefon1->setText(a.telefon1);
        edTelefon2->setText(a.telefon2);
        edFax->setText(a.fax);
        edMobiltelefon->setText(a.mobil);
        edEMail1->setText(a.email1);
        edURL->setText(a.url);
        edAnsprechpartner->setText(a.ansprechpartner);
        edZusatzinformationen->setText(a.zusatzinformation);
        cbxStandorttyp_Nr->setCurrentIndex(cbxStandorttyp_Nr->findData(int(a.standorttyp_nr)));
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void Tfrm_EditAddress::btnSpeichernClick() {
    if (edAdressbezeichnung->text().trimmed().isEmpty()) {
        edAdressbezeichnung->setFocus();
        ShowApplicationError(QStringLiteral("Bitte geben Sie eine Adressbezeichnung ein."), this);
        return;
    }
    TBrenvikAdresse a;
    a.brv_mandant_nr = 1;
    a.mandant_nr = iClientID;
    a.adress_nr = iAddressNr;
    a.adressbezeichnung = edAdressbezeichnung->text().trimmed();
    a.strasse = edStrasse->text();
    a.hausnummer = edHausnummer->text();
    a.zusatz = edZusatz->text();
    a.land = edLand->text();
    a.plz = edPLZ->text();
    a.ort = edOrt->text();
    a.postfach_plz = edPostfach_PLZ->text();
    a.postfach = edPostfach->text();
    a.telefon1 = edTelefon1->text();
    a.telefon2 = edTelefon2->text();
    a.fax = edFax->text();
    a.mobil = edMobiltelefon->text();
    a.email1 = edEMail1->text();
    a.url = edURL->text();
    a.ansprechpartner = edAnsprechpartner->text();
    a.zusatzinformation = edZusatzinformationen->text();
    a.standorttyp_nr = cbxStandorttyp_Nr->currentIndex() >= 0
                           ? static_cast<qint16>(cbxStandorttyp_Nr->currentData().toInt())
                           : qint16(0);
    try {
        SaveAdresse(a);
        accept();
    } catch (const Exception& e) {
        platform::dialogs().message(QStringLiteral("Fehler beim Speichern der Adressinformationen.\r\n"
                                                   "Systemmeldung: ") +
                                        e.message(),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
    }
}
