#include "assets/frm_index.h"

#include <QKeyEvent>

#include "platform/ui_common.h"
#include "db/indexwerte.h"
#include "db/versicherungswerte.h"
#include "platform/qt_dialogs.h"

#include <QCheckBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;

Tfrm_SelectIdxCategory::Tfrm_SelectIdxCategory(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_SelectIdxCategory"));
    setWindowTitle(QStringLiteral("Indexauswahl"));
    resize(860, 520);
    auto* top = new QVBoxLayout(this);
    auto* grp = new QGroupBox(QStringLiteral("Indexauswahl für die Anlage ..."));
    auto* g = new QVBoxLayout(grp);
    lbAnlagebezeichnung = new QLabel;
    lbAnlagebezeichnung->setObjectName(QStringLiteral("lbAnlagebezeichnung"));
    g->addWidget(lbAnlagebezeichnung);
    lbIndexJahr = new QLabel;
    lbIndexJahr->setObjectName(QStringLiteral("lbIndexJahr"));
    g->addWidget(lbIndexJahr);
    top->addWidget(grp);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Suchbegriff:")));
    edSearch = new QLineEdit;
    edSearch->setObjectName(QStringLiteral("edSearch"));
    row->addWidget(edSearch, 1);
    auto* btnSearch = new QPushButton(QStringLiteral("Suchen"));
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setAutoDefault(false);
    row->addWidget(btnSearch);
    cbxAlleIndizes = new QCheckBox(QStringLiteral("Alle Indizes anzeigen"));
    cbxAlleIndizes->setObjectName(QStringLiteral("cbxAlleIndizes"));
    row->addWidget(cbxAlleIndizes);
    top->addLayout(row);
    lvIndizes = new QTreeWidget;
    lvIndizes->setObjectName(QStringLiteral("lvIndizes"));
    lvIndizes->setHeaderLabels({QStringLiteral("IndexNr"), QStringLiteral("DestatisIndexNr"),
                                QStringLiteral("GP_Systematik"), QStringLiteral("Indexbeschreibung")});
    lvIndizes->setRootIsDecorated(false);
    lvIndizes->setUniformRowHeights(true);
    lvIndizes->setAllColumnsShowFocus(true);
    int c = 0;
    for (int w : {75, 100, 120, 400})
        lvIndizes->header()->resizeSection(c++, w);
    top->addWidget(lvIndizes, 1);
    lbIdxAnzahl = new QLabel;
    lbIdxAnzahl->setObjectName(QStringLiteral("lbIdxAnzahl"));
    top->addWidget(lbIdxAnzahl);
    auto* buttons = new QDialogButtonBox;
    auto* take = buttons->addButton(QStringLiteral("Übernehmen"), QDialogButtonBox::AcceptRole);
    take->setObjectName(QStringLiteral("btnUebernehmen"));
    take->setAutoDefault(false);
    auto* cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnAbbrechen"));
    cancel->setAutoDefault(false);
    top->addWidget(buttons);

    connect(btnSearch, &QPushButton::clicked, this, &Tfrm_SelectIdxCategory::Fill);
    connect(edSearch, &QLineEdit::returnPressed, this, &Tfrm_SelectIdxCategory::Fill);
    connect(cbxAlleIndizes, &QCheckBox::clicked, this, &Tfrm_SelectIdxCategory::Fill);
    auto take1 = [this](QTreeWidgetItem* it) {
        iKategorieNr = it->text(0).toInt();
        iDestatisIndexNr = it->text(1).toInt();
    };
    connect(lvIndizes, &QTreeWidget::currentItemChanged, this, [take1](QTreeWidgetItem* it) {
        if (it)
            take1(it);
    });
    connect(lvIndizes, &QTreeWidget::itemDoubleClicked, this, [this, take1](QTreeWidgetItem* it) {
        take1(it);
        accept();
    });
    connect(take, &QPushButton::clicked, this, &Tfrm_SelectIdxCategory::TakeSelected);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Tfrm_SelectIdxCategory::TakeSelected() {
    QTreeWidgetItem* it = lvIndizes->currentItem();
    if (!it || !it->isSelected() || it->text(0).toInt() <= 0) {
        platform::dialogs().message(QStringLiteral("Bitte wählen Sie zunächst einen Index aus der Liste aus."),
                                    platform::MsgIcon::Information, platform::MsgButtons::Ok, this);
        return;
    }
    iKategorieNr = it->text(0).toInt();
    iDestatisIndexNr = it->text(1).toInt();
    accept();
}

void Tfrm_SelectIdxCategory::keyPressEvent(QKeyEvent* e) {
    if (!HandlePickerEnter(e, edSearch, [this] { TakeSelected(); }))
        QDialog::keyPressEvent(e);
}

void Tfrm_SelectIdxCategory::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_SelectIdxCategory::FormShow() {
    lbIndexJahr->setText(iIndexJahr > 0 ? QStringLiteral("Anschaffungsjahr der Anlage: ") + QString::number(iIndexJahr)
                                        : QString());
    edSearch->clear();
    Fill();
    edSearch->setFocus();
}

void Tfrm_SelectIdxCategory::Fill() {
    lvIndizes->clear();
    try {
        const auto rows = (cbxAlleIndizes->isChecked() || iIndexJahr <= 0)
                              ? SearchIndexBeschreibungen(edSearch->text())
                              : SearchIndexBeschreibungenMitWerten(edSearch->text(), iIndexJahr);
        if (!rows)
            return;
        lbIdxAnzahl->setText(QStringLiteral("Anzahl: ") + QString::number(rows->size()));
        QList<QTreeWidgetItem*> items;
        for (const TBrenvikIndexBeschr& b : *rows)
            items.append(new QTreeWidgetItem(
                {QString::number(b.kategorie_nr), QString::number(b.index_nr), b.gp_systematik, b.index_text}));
        lvIndizes->addTopLevelItems(items);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

Tfrm_ExChgIdx::Tfrm_ExChgIdx(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_ExChgIdx"));
    setWindowTitle(QStringLiteral("Index in Anlagen ersetzen"));
    resize(560, 180);
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto row = [&](const QString& label, QLineEdit*& ed, const char* edName, QLabel*& desc, const char* descName,
                   const QString& descText, const char* btnName, bool isNew) {
        auto* h = new QHBoxLayout;
        ed = new QLineEdit;
        ed->setObjectName(QString::fromLatin1(edName));
        ed->setMaximumWidth(90);
        h->addWidget(ed);
        auto* b = new QPushButton(QStringLiteral("..."));
        b->setObjectName(QString::fromLatin1(btnName));
        b->setAutoDefault(false);
        b->setMaximumWidth(32);
        h->addWidget(b);
        desc = new QLabel(descText);
        desc->setObjectName(QString::fromLatin1(descName));
        h->addWidget(desc, 1);
        form->addRow(label, h);
        connect(b, &QPushButton::clicked, this, [this, isNew] { LookUp(isNew); });
        connect(ed, &QLineEdit::editingFinished, this, [this, isNew] { ShowDescription(isNew); });
    };
    row(QStringLiteral("Bisheriger Index"), edIdxOld, "edIdxOld", lbDescOldIdx, "lbDescOldIdx",
        QStringLiteral("... bisheriger Index"), "btnIdxOld", false);
    row(QStringLiteral("Neuer Index"), edIdxNew, "edIdxNew", lbDescNewIdx, "lbDescNewIdx",
        QStringLiteral("... neuer Index"), "btnIdxNew", true);
    top->addLayout(form);
    top->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("Ok"));
    ok->setObjectName(QStringLiteral("btnOk"));
    auto* close = new QPushButton(QStringLiteral("Beenden"));
    close->setObjectName(QStringLiteral("btnBeenden"));
    buttons->addWidget(ok);
    buttons->addWidget(close);
    top->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &Tfrm_ExChgIdx::btnOkClick);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

Tfrm_ExChgIdx::~Tfrm_ExChgIdx() {
    // An edit that loses the focus while the dialog goes away must not call back into it.
    edIdxOld->disconnect(this);
    edIdxNew->disconnect(this);
}

void Tfrm_ExChgIdx::LookUp(bool newIndex) {
    try {
        Tfrm_SelectIdxCategory d(this);
        d.lbAnlagebezeichnung->setText(QStringLiteral("keine Einschränkung, alle Anlagen"));
        d.cbxAlleIndizes->setChecked(true);
        d.iIndexJahr = QDate::currentDate().year() - 1;
        if (platform::execModal(d) != QDialog::Accepted)
            return;
        (newIndex ? edIdxNew : edIdxOld)->setText(QString::number(d.iKategorieNr));
        TBrenvikIndexBeschr b;
        GetIndexBeschreibung(d.iKategorieNr, b);
        (newIndex ? lbDescNewIdx : lbDescOldIdx)->setText(b.index_text);
    } catch (const std::exception&) {
        platform::dialogs().message(newIndex ? QStringLiteral("Fehler bei der Ermittlung bzw. Überprüfung des "
                                                              "angegebenen Index (neu)")
                                             : QStringLiteral("Fehler bei der Ermittlung bzw. Überprüfung des "
                                                              "angegebenen Index (bisher)"),
                                    MsgIcon::Error, MsgButtons::Ok, this);
    }
}

void Tfrm_ExChgIdx::ShowDescription(bool newIndex) {
    QLineEdit* ed = newIndex ? edIdxNew : edIdxOld;
    QLabel* label = newIndex ? lbDescNewIdx : lbDescOldIdx;
    bool ok = false;
    const int nr = ed->text().trimmed().toInt(&ok);
    if (!ok) {
        if (!ed->text().trimmed().isEmpty())
            ShowApplicationError(QStringLiteral("'%1' ist kein gültiger ganzzahliger Wert.").arg(ed->text()), this);
        return;
    }
    TBrenvikIndexBeschr b;
    try {
        GetIndexBeschreibung(nr, b);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
        return;
    }
    label->setText(b.index_text);
}

void Tfrm_ExChgIdx::btnOkClick() {
    try {
        int numbers[2] = {0, 0};
        QLineEdit* edits[2] = {edIdxOld, edIdxNew};
        for (int i = 0; i < 2; ++i) {
            bool ok = false;
            numbers[i] = edits[i]->text().trimmed().toInt(&ok);
            if (!ok) {
                edits[i]->setFocus();
                throw Exception(QStringLiteral("Es ist kein korrekter Indexwert angegeben."));
            }
            if (!ExistsKategorie(numbers[i])) {
                edits[i]->setFocus();
                throw Exception(QStringLiteral("Der Index konnte nicht in der Referenz-Datenbank gefunden werden."));
            }
        }
        ExchangeKategorie(iClientID, numbers[0], numbers[1]);
        platform::dialogs().message(QStringLiteral("Der Index wurde erfolgreich im Bestand ersetzt."),
                                    MsgIcon::Information, MsgButtons::Ok, this);
    } catch (const Exception& e) {
        platform::dialogs().message(e.message(), MsgIcon::Error, MsgButtons::Ok, this);
    }
    accept();
}
