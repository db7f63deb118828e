#include "app/tab_gebaeude.h"

#include "app/frm_brenvik.h"
#include "building/frm_gebobjekt.h"
#include "building/gebdata.h"
#include "db/mandanten.h"
#include "platform/qt_dialogs.h"
#include "platform/ui_common.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

TTabGebaeude::TTabGebaeude(TfrmBrenvik& main) : main_(main) {
    setObjectName(QStringLiteral("tsGebaeude"));
    auto* l = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Vorhandene Anschriften:")));
    cmbAdressen = new QComboBox;
    cmbAdressen->setObjectName(QStringLiteral("cmbAdressen"));
    row->addWidget(cmbAdressen, 1);
    auto* btnAnlegen = UiButton(QStringLiteral("Anlegen"), "btnAnlegen");
    row->addWidget(btnAnlegen);
    l->addLayout(row);
    l->addWidget(new QLabel(QStringLiteral("Bereits angelegt:")));
    lvObjekte = UiListView("lvObjekte", {QStringLiteral("Angelegte Objekte")});
    l->addWidget(lvObjekte, 1);
    auto* buttons = new QHBoxLayout;
    auto* btnOeffnen = UiButton(QStringLiteral("Öffnen"), "btnOeffnen");
    auto* btnEntfernen = UiButton(QStringLiteral("Entfernen"), "btnEntfernen");
    buttons->addWidget(btnOeffnen);
    buttons->addWidget(btnEntfernen);
    buttons->addStretch(1);
    l->addLayout(buttons);
    writeButtons_ << btnAnlegen << btnEntfernen;
    connect(btnAnlegen, &QPushButton::clicked, this, &TTabGebaeude::NewObjekt);
    connect(btnOeffnen, &QPushButton::clicked, this, &TTabGebaeude::OpenSelectedObjekt);
    connect(lvObjekte, &QTreeWidget::itemDoubleClicked, this, &TTabGebaeude::OpenSelectedObjekt);
    connect(btnEntfernen, &QPushButton::clicked, this, &TTabGebaeude::DeleteSelectedObjekt);
}

void TTabGebaeude::ReloadObjektAdressen() {
    cmbAdressen->clear();
    FAdressListe.clear();
    try {
        const auto list = GetAdressen(main_.iClientID);
        if (!list)
            return;
        for (const TBrenvikAdresse& a : *list) {
            FAdressListe.append(a);
            cmbAdressen->addItem(a.adressbezeichnung);
        }
        if (cmbAdressen->count() > 0)
            cmbAdressen->setCurrentIndex(0);
    } catch (...) {
    }
}

void TTabGebaeude::ReloadObjekte() {
    lvObjekte->clear();
    FObjekte = GetGebObjekte(QString::number(main_.iClientID));
    for (const TGebObjekt& o : FObjekte)
        lvObjekte->addTopLevelItem(new QTreeWidgetItem({o.Caption}));
}

void TTabGebaeude::Clear() {
    cmbAdressen->clear();
    FAdressListe.clear();
    lvObjekte->clear();
    FObjekte.clear();
}

std::optional<TGebObjekt> TTabGebaeude::GetSelectedObjekt() const {
    QTreeWidgetItem* item = lvObjekte->currentItem();
    const int row = item && item->isSelected() ? lvObjekte->indexOfTopLevelItem(item) : -1;
    if (row < 0 || row >= FObjekte.size())
        return std::nullopt;
    return FObjekte[row];
}

void TTabGebaeude::NewObjekt() {
    if (cmbAdressen->count() == 0) {
        platform::dialogs().message(QStringLiteral("Es wurden noch keine Anschriften hinterlegt"), MsgIcon::Warning,
                                    MsgButtons::Ok, this);
        return;
    }
    const int at = cmbAdressen->currentIndex();
    if (at < 0 || at >= FAdressListe.size())
        return;
    const TBrenvikAdresse& a = FAdressListe[at];
    const QString owner = QString::number(main_.iClientID);
    // The street is stored with the house number; the object opened shows what is stored.
    const QString street = a.strasse + QLatin1Char(' ') + a.hausnummer;
    try {
        const QString pid = InsertGebObjekt(a.adressbezeichnung, owner, a.plz, a.ort, street);
        if (pid.isEmpty())
            return;
        TGebObjekt o(pid, owner);
        o.Caption = a.adressbezeichnung;
        o.Strasse = street;
        o.Ort = a.plz + QLatin1Char(' ') + a.ort;
        o.Ersteller = main_.sOwnerName;
        ShowObjekt(o);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TTabGebaeude::OpenSelectedObjekt() {
    std::optional<TGebObjekt> o = GetSelectedObjekt();
    if (o)
        ShowObjekt(*o);
}

void TTabGebaeude::ShowObjekt(TGebObjekt& o) {
    try {
        TFrameBuilding frame(this);
        frame.Initialize(&o, main_.GetMandantFileFolder());
        platform::execModal(frame);
        ReloadObjekte();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TTabGebaeude::DeleteSelectedObjekt() {
    const std::optional<TGebObjekt> o = GetSelectedObjekt();
    if (!o)
        return;
    if (platform::dialogs().message(QStringLiteral("Objekt ") + o->Caption + QStringLiteral(" entfernen?"),
                                    MsgIcon::Question, MsgButtons::YesNo, this) == MsgResult::No)
        return;
    try {
        DeleteGebObjekt(o->PID);
        const int row = lvObjekte->indexOfTopLevelItem(lvObjekte->currentItem());
        FObjekte.removeAt(row);
        delete lvObjekte->takeTopLevelItem(row);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}
