#include "app/tab_kundendaten.h"

#include "app/frm_brenvik.h"
#include "app/frm_editaddress.h"
#include "app/frm_editmeasures.h"
#include "app/frm_select_branch.h"
#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "platform/qt_dialogs.h"
#include "platform/ui_common.h"
#include "session/client_workspace.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {
void say(const QString& text, MsgIcon icon, QWidget* parent) {
    platform::dialogs().message(text, icon, MsgButtons::Ok, parent);
}

int selectedRowNumber(QTreeWidget* list) {
    const QList<QTreeWidgetItem*> sel = list->selectedItems();
    QTreeWidgetItem* it = sel.isEmpty() ? nullptr : sel.first();
    return it ? it->data(0, Qt::UserRole).toInt() : -1;
}
} // namespace

TTabKundendaten::TTabKundendaten(TfrmBrenvik& main) : main_(main) {
    setObjectName(QStringLiteral("tsKundendaten"));
    auto* grid = new QGridLayout(this);

    auto* master = new QFormLayout;
    edMandant_nr = UiLineEdit("edMandant_nr");
    edMandant_nr->setEnabled(false);
    edMandant_nr->setReadOnly(true);
    edMandant_nr->setMaximumWidth(120);
    master->addRow(QStringLiteral("Mandantennummer:"), edMandant_nr);
    edFirma = UiLineEdit("edFirma");
    master->addRow(QStringLiteral("Firma/ Mandantenname:"), edFirma);
    edName1 = UiLineEdit("edName1");
    master->addRow(QStringLiteral("Namenszusatz 1:"), edName1);
    edName2 = UiLineEdit("edName2");
    master->addRow(QStringLiteral("Namenzusatz 2:"), edName2);
    auto* branchRow = new QHBoxLayout;
    edBetriebsart = UiLineEdit("edBetriebsart");
    edBetriebsart->setMaximumWidth(94);
    branchRow->addWidget(edBetriebsart);
    auto* btnBetriebsart = UiButton(QStringLiteral("..."), "btnBetriebsart");
    btnBetriebsart->setMaximumWidth(32);
    btnBetriebsart->setToolTip(QStringLiteral("Auswahl der Betriebsart"));
    branchRow->addWidget(btnBetriebsart);
    lbBetriebsart_bez = new QLabel;
    lbBetriebsart_bez->setObjectName(QStringLiteral("lbBetriebsart_bez"));
    branchRow->addWidget(lbBetriebsart_bez, 1);
    master->addRow(QStringLiteral("Betriebsart:"), branchRow);
    grid->addLayout(master, 0, 0, 1, 2);

    auto listWithButtons = [&](const QString& caption, QTreeWidget* list, const char* prefix, int row) {
        grid->addWidget(new QLabel(caption), row, 0, 1, 2);
        grid->addWidget(list, row + 1, 0);
        auto* col = new QVBoxLayout;
        const QString p = QString::fromLatin1(prefix);
        QPushButton* b[3] = {UiButton(QStringLiteral("Hinzufügen"), nullptr),
                             UiButton(QStringLiteral("Bearbeiten"), nullptr),
                             UiButton(QStringLiteral("Löschen"), nullptr)};
        b[0]->setObjectName(QStringLiteral("btn") + p + QStringLiteral("Hinzufuegen"));
        b[1]->setObjectName(QStringLiteral("btn") + p + QStringLiteral("Bearbeiten"));
        b[2]->setObjectName(QStringLiteral("btn") + p + QStringLiteral("Loeschen"));
        for (QPushButton* x : b)
            col->addWidget(x);
        col->addStretch(1);
        grid->addLayout(col, row + 1, 1);
        return std::array<QPushButton*, 3>{b[0], b[1], b[2]};
    };
    lvAdressen = UiListView("lvAdressen", {QStringLiteral("AdressNr"), QStringLiteral("Adressbezeichnung"),
                                           QStringLiteral("Strasse"), QStringLiteral("PLZ"), QStringLiteral("Ort")});
    lvAdressen->headerItem()->setTextAlignment(0, Qt::AlignRight);
    const auto addrButtons = listWithButtons(QStringLiteral("Adressen:"), lvAdressen, "Adresse", 1);
    lvKennzahlen = UiListView(
        "lvKennzahlen",
        {QStringLiteral("Jahr"), QStringLiteral("Fert.-Erz. Bilanz"), QStringLiteral("Unfert.-Erz. Bilanz"),
         QStringLiteral("Lager-Betr.Stoffe Bil."), QStringLiteral("Fert.-Erz.Max"), QStringLiteral("Unfert.-Erz.Max"),
         QStringLiteral("Lager-Betr.Stoffe Max"), QStringLiteral("Vorsorgesumme"), QStringLiteral("Endwertgrenze")});
    for (int c = 1; c < 9; ++c)
        lvKennzahlen->headerItem()->setTextAlignment(c, Qt::AlignRight);
    const auto measureButtons = listWithButtons(QStringLiteral("Kennzahlen:"), lvKennzahlen, "Kennzahlen", 3);

    cbxMwst_Pflicht = new QCheckBox(QStringLiteral("Zum Vorsteuerabzug nach §4 UStG o.ä. berechtigt"));
    cbxMwst_Pflicht->setObjectName(QStringLiteral("cbxMwst_Pflicht"));
    cbxMwst_Pflicht->setChecked(true);
    grid->addWidget(cbxMwst_Pflicht, 5, 0, 1, 2);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("Speicherort für Dateien:")));
    edSicherungspfad = UiLineEdit("edSicherungspfad");
    pathRow->addWidget(edSicherungspfad, 1);
    auto* btnBrowse = UiButton(QStringLiteral("..."), "btnSicherungspfad");
    btnBrowse->setMaximumWidth(32);
    btnBrowse->setToolTip(QStringLiteral("Speicherort festlegen"));
    pathRow->addWidget(btnBrowse);
    auto* btnPropose = UiButton(QStringLiteral("Standardverzeichnis vorschlagen"), "btnStandardverzeichnis");
    pathRow->addWidget(btnPropose);
    grid->addLayout(pathRow, 6, 0, 1, 2);

    auto* functions = new QGroupBox(QStringLiteral("Funktionen"));
    auto* fRow = new QHBoxLayout(functions);
    btnSpeichern = UiButton(QStringLiteral("Speichern"), "btnSpeichern");
    btnZuruecksetzen = UiButton(QStringLiteral("Zurücksetzen"), "btnZuruecksetzen");
    fRow->addWidget(btnSpeichern);
    fRow->addWidget(btnZuruecksetzen);
    fRow->addStretch(1);
    grid->addWidget(functions, 7, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setRowStretch(4, 1);

    connect(btnBetriebsart, &QPushButton::clicked, this, &TTabKundendaten::LookUpBetriebsart);
    connect(edBetriebsart, &QLineEdit::editingFinished, this, &TTabKundendaten::ShowBetriebsart);
    for (const auto& bs : {addrButtons, measureButtons})
        for (QPushButton* b : bs)
            writeButtons_ << b;
    connect(addrButtons[0], &QPushButton::clicked, this, &TTabKundendaten::AddAddress);
    connect(addrButtons[1], &QPushButton::clicked, this, &TTabKundendaten::EditAddress);
    connect(addrButtons[2], &QPushButton::clicked, this, &TTabKundendaten::DeleteAddress);
    connect(measureButtons[0], &QPushButton::clicked, this, &TTabKundendaten::AddMeasures);
    connect(measureButtons[1], &QPushButton::clicked, this, &TTabKundendaten::EditMeasures);
    connect(measureButtons[2], &QPushButton::clicked, this, &TTabKundendaten::DeleteMeasures);
    connect(btnBrowse, &QPushButton::clicked, this, &TTabKundendaten::BrowseStorageFolder);
    connect(btnPropose, &QPushButton::clicked, this, &TTabKundendaten::ProposeStorageFolder);
    connect(btnSpeichern, &QPushButton::clicked, this, &TTabKundendaten::SaveMandantClick);
    connect(btnZuruecksetzen, &QPushButton::clicked, this, &TTabKundendaten::ResetMandantClick);

    // The column widths of MANDANTEN: longer input would only fail at the save.
    edFirma->setMaxLength(200);
    edName1->setMaxLength(200);
    edName2->setMaxLength(200);
    edBetriebsart->setMaxLength(20);
    edSicherungspfad->setMaxLength(500);
    QWidget::setTabOrder(edFirma, edName1);
    QWidget::setTabOrder(edName1, edName2);
    QWidget::setTabOrder(edName2, edBetriebsart);
    QWidget::setTabOrder(edBetriebsart, btnBetriebsart);
}

TTabKundendaten::~TTabKundendaten() {
    // A field that loses the focus while the window goes away must not call back into it.
    edBetriebsart->disconnect(this);
}

void TTabKundendaten::ShowMandant(const TBrenvikMandant& m) {
    edMandant_nr->setText(QString::number(m.mandant_nr));
    edFirma->setText(m.firma);
    edName1->setText(m.name1);
    edName2->setText(m.name2);
    edSicherungspfad->setText(m.sicherungspfad);
    edBetriebsart->setText(m.betriebsart_nr);
    cbxMwst_Pflicht->setChecked(m.mwst_pflicht == QLatin1String("1"));
    ShowBetriebsart();
    ReloadAddressList();
    ReloadMeasureList();
}

void TTabKundendaten::ShowNewMandant(int mandantNr) {
    edMandant_nr->setText(QString::number(mandantNr));
    for (QLineEdit* e : {edFirma, edName1, edName2, edBetriebsart, edSicherungspfad})
        e->clear();
    lbBetriebsart_bez->clear();
    lvAdressen->clear();
    lvKennzahlen->clear();
    cbxMwst_Pflicht->setChecked(true);
    if (edFirma->isVisible() && edFirma->isEnabled())
        edFirma->setFocus();
}

bool TTabKundendaten::MwstPflicht() const {
    return cbxMwst_Pflicht->isChecked();
}

void TTabKundendaten::ReloadAddressList() {
    lvAdressen->clear();
    const auto list = GetAdressen(main_.iClientID);
    if (!list)
        return;
    QList<QTreeWidgetItem*> items;
    for (const TBrenvikAdresse& a : *list) {
        auto* it = new QTreeWidgetItem({QString::number(a.adress_nr), a.adressbezeichnung, a.strasse, a.plz, a.ort});
        it->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        it->setData(0, Qt::UserRole, a.adress_nr);
        items.append(it);
    }
    lvAdressen->addTopLevelItems(items);
    for (int c = 0; c < lvAdressen->columnCount(); ++c)
        lvAdressen->resizeColumnToContents(c);
}

void TTabKundendaten::ReloadMeasureList() {
    lvKennzahlen->clear();
    const auto list = GetKennzahlenHistList(main_.iClientID);
    if (!list)
        return;
    QList<QTreeWidgetItem*> items;
    for (const TBrenvikKennzahlenHist& k : *list) {
        auto* it = new QTreeWidgetItem({QString::number(k.bilanzjahr), FormatCurrency(k.fertige_erz_bilanz),
                                        FormatCurrency(k.unfertige_erz_bilanz), FormatCurrency(k.lager_bstoffe_bilanz),
                                        FormatCurrency(k.fertige_erz_max), FormatCurrency(k.unfertige_erz_max),
                                        FormatCurrency(k.lager_bstoffe_max), FormatCurrency(k.vorsorgesumme),
                                        FormatAmount(k.endwertgrenze) + QLatin1Char('%')});
        for (int c = 1; c < 9; ++c)
            it->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        it->setData(0, Qt::UserRole, int(k.bilanzjahr));
        items.append(it);
    }
    lvKennzahlen->addTopLevelItems(items);
    for (int c = 0; c < lvKennzahlen->columnCount(); ++c)
        lvKennzahlen->resizeColumnToContents(c);
}

void TTabKundendaten::ShowBetriebsart() {
    TBrenvikBetriebsarten b;
    try {
        GetBetriebsart(edBetriebsart->text(), b);
    } catch (const Exception&) {
    }
    lbBetriebsart_bez->setText(b.betriebsart_bez);
}

void TTabKundendaten::LookUpBetriebsart() {
    Tfrm_select_branch d(this);
    d.sMandantenBez = edFirma->text().isEmpty() ? QStringLiteral("... noch nicht bekannt") : edFirma->text();
    if (platform::execModal(d) == QDialog::Accepted) {
        edBetriebsart->setText(d.sBetriebsart_nr);
        ShowBetriebsart();
    }
}

void TTabKundendaten::SaveMandantClick() {
    workspace::ClientForm form;
    // No client shown and none being created: the save says so.
    form.mandantNr = main_.iClientID > 0 || main_.bNewClient_ ? QString::number(main_.iClientID) : QString();
    form.firma = edFirma->text();
    form.name1 = edName1->text();
    form.name2 = edName2->text();
    form.betriebsart = edBetriebsart->text();
    form.sicherungspfad = edSicherungspfad->text();
    form.mwstPflicht = cbxMwst_Pflicht->isChecked();
    form.isNew = main_.bNewClient_;
    const workspace::SaveResult r = workspace::SaveClient(
        form, main_.sBAKFLD, main_.sUSE_BACKUP_FOLDER_DB,
        [this](const QString& c, const QString& t) { main_.WriteLog(c, t); }, this);
    if (!form.mandantNr.isEmpty())
        edSicherungspfad->setText(r.sicherungspfad);
    if (!r.focusField.isEmpty()) {
        if (auto* w = findChild<QWidget*>(r.focusField))
            w->setFocus();
    }
    if (!r.saved)
        return;
    main_.ClientSaved(r.mandantNr);
    edMandant_nr->setText(QString::number(r.mandantNr));
}

void TTabKundendaten::ResetMandantClick() {
    // A client not yet saved has nothing stored to go back to: its entries are discarded.
    if (main_.bNewClient_) {
        main_.NewMandant();
        return;
    }
    if (main_.iClientID == 0) {
        say(QStringLiteral("Es wurde noch kein Mandant ausgewählt. Die Funktion kann nicht ausgeführt werden."),
            MsgIcon::Information, this);
        return;
    }
    try {
        main_.LoadMandantData();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TTabKundendaten::BrowseStorageFolder() {
    if (main_.iClientID == 0 && !main_.bNewClient_) {
        say(QStringLiteral(
                "Bitte wählen Sie zunächst einen Mandanten zum Bearbeiten aus \r\noder legen Sie einen neuen "
                "Mandanten an."),
            MsgIcon::Warning, this);
        return;
    }
    const QString folder =
        platform::dialogs().folder(QStringLiteral("Speicherort festlegen"), main_.sCommonFilesPath, this);
    if (!folder.isEmpty())
        edSicherungspfad->setText(folder);
}

void TTabKundendaten::ProposeStorageFolder() {
    edSicherungspfad->setText(workspace::ProposeStorageFolder(edFirma->text(), QString::number(main_.iClientID),
                                                              main_.sUSE_BACKUP_FOLDER_DB, main_.sCommonFilesPath));
}

bool TTabKundendaten::clientReadyForRows() {
    if (main_.bNewClient_) {
        say(QStringLiteral("Bitte speichern Sie zunächst Ihre Eingaben zu dem neu angelegten Mandanten."),
            MsgIcon::Information, this);
        return false;
    }
    if (main_.iClientID == 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst einen Mandanten aus."), MsgIcon::Information, this);
        return false;
    }
    return true;
}

void TTabKundendaten::AddAddress() {
    if (!clientReadyForRows())
        return;
    Tfrm_EditAddress d(this);
    d.setWindowTitle(QStringLiteral("Adresse hinzufügen"));
    d.iClientID = main_.iClientID;
    d.sClientName = edFirma->text();
    d.bAdd = true;
    if (!d.InitForm_AddAddress(d.iClientID))
        return;
    if (platform::execModal(d) == QDialog::Accepted)
        main_.AddressesChanged();
}

void TTabKundendaten::EditAddress() {
    const int nr = selectedRowNumber(lvAdressen);
    if (nr < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst eine Adresse aus."), MsgIcon::Information, this);
        return;
    }
    Tfrm_EditAddress d(this);
    d.setWindowTitle(QStringLiteral("Adresse bearbeiten"));
    d.iClientID = main_.iClientID;
    d.sClientName = edFirma->text();
    d.bAdd = false;
    d.iAddressNr = nr;
    if (platform::execModal(d) == QDialog::Accepted)
        main_.AddressesChanged();
}

void TTabKundendaten::DeleteAddress() {
    const int nr = selectedRowNumber(lvAdressen);
    if (nr < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst eine Adresse aus."), MsgIcon::Information, this);
        return;
    }
    if (platform::dialogs().message(QStringLiteral("Bitte bestätigen Sie das Löschen der ausgewählten Adresse."),
                                    MsgIcon::Warning, MsgButtons::YesNo, this) != MsgResult::Yes)
        return;
    try {
        DeleteAdresse(main_.iClientID, nr);
        main_.AddressesChanged();
    } catch (const Exception& e) {
        say(QStringLiteral("Die angeforderte Adresse konnte nicht gelöscht werden.\r\nFehlermeldung: ") + e.message(),
            MsgIcon::Error, this);
    }
}

void TTabKundendaten::AddMeasures() {
    if (!clientReadyForRows())
        return;
    Tfrm_EditMeasures d(this);
    d.setWindowTitle(QStringLiteral("Jahr/ Kennzahlen hinzufügen"));
    d.iClientID = main_.iClientID;
    d.sClientName = edFirma->text();
    d.bAdd = true;
    if (!d.InitForm_AddMeasures(d.iClientID))
        return;
    if (platform::execModal(d) == QDialog::Accepted)
        ReloadMeasureList();
}

void TTabKundendaten::EditMeasures() {
    const int year = selectedRowNumber(lvKennzahlen);
    if (year < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst ein Jahr (Kennzahlen) aus."), MsgIcon::Information, this);
        return;
    }
    Tfrm_EditMeasures d(this);
    d.setWindowTitle(QStringLiteral("Kennzahlen bearbeiten"));
    d.iClientID = main_.iClientID;
    d.sClientName = edFirma->text();
    d.bAdd = false;
    d.iBilanzjahr = year;
    if (platform::execModal(d) == QDialog::Accepted)
        ReloadMeasureList();
}

void TTabKundendaten::DeleteMeasures() {
    const int year = selectedRowNumber(lvKennzahlen);
    if (year < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst ein Jahr (Kennzahlen) aus."), MsgIcon::Information, this);
        return;
    }
    if (platform::dialogs().message(QStringLiteral("Bitte bestätigen Sie das Löschen der ausgewählten Kennzahlen."),
                                    MsgIcon::Warning, MsgButtons::YesNo, this) != MsgResult::Yes)
        return;
    try {
        DeleteKennzahlenHist(main_.iClientID, year);
        ReloadMeasureList();
    } catch (const Exception& e) {
        say(QStringLiteral("Die angeforderten Kennzahlen konnte nicht gelöscht werden.\r\nFehlermeldung: ") +
                e.message(),
            MsgIcon::Error, this);
    }
}
