#include "app/frm_select_branch.h"
#include "platform/dialogs.h"

#include <QKeyEvent>

#include "platform/ui_common.h"
#include "db/brenvik_config.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

Tfrm_select_branch::Tfrm_select_branch(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_select_branch"));
    setWindowTitle(QStringLiteral("Auswahl der Betriebsart"));
    resize(720, 480);
    auto* top = new QVBoxLayout(this);
    auto* grp = new QGroupBox(QStringLiteral("Auswahl der Betriebsart des Mandanten"));
    auto* g = new QVBoxLayout(grp);
    lbMandant_ = new QLabel;
    lbMandant_->setObjectName(QStringLiteral("lbMandant"));
    g->addWidget(lbMandant_);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("Suchbegriff:")));
    edSearch = new QLineEdit;
    edSearch->setObjectName(QStringLiteral("edSearch"));
    searchRow->addWidget(edSearch, 1);
    auto* btnSearch = new QPushButton(QStringLiteral("Suchen"));
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setAutoDefault(false);
    searchRow->addWidget(btnSearch);
    g->addLayout(searchRow);
    lvBetriebsarten = new QTreeWidget;
    lvBetriebsarten->setObjectName(QStringLiteral("lvBetriebsarten"));
    lvBetriebsarten->setHeaderLabels({QStringLiteral("BetriebsartNr"), QStringLiteral("Bezeichnung")});
    lvBetriebsarten->setRootIsDecorated(false);
    lvBetriebsarten->setUniformRowHeights(true);
    lvBetriebsarten->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvBetriebsarten->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvBetriebsarten->header()->resizeSection(0, 110);
    g->addWidget(lvBetriebsarten, 1);
    lbBetriebsartenAnzahl = new QLabel;
    lbBetriebsartenAnzahl->setObjectName(QStringLiteral("lbBetriebsartenAnzahl"));
    g->addWidget(lbBetriebsartenAnzahl);
    top->addWidget(grp, 1);

    auto* buttons = new QDialogButtonBox;
    auto* take = buttons->addButton(QStringLiteral("Übernehmen"), QDialogButtonBox::AcceptRole);
    take->setObjectName(QStringLiteral("btnUebernehmen"));
    auto* cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnAbbrechen"));
    take->setAutoDefault(false);
    cancel->setAutoDefault(false);
    top->addWidget(buttons);

    connect(btnSearch, &QPushButton::clicked, this, [this] { Fill(edSearch->text()); });
    // Enter in the search field searches instead of closing the dialog.
    connect(edSearch, &QLineEdit::returnPressed, this, [this] { Fill(edSearch->text()); });
    connect(lvBetriebsarten, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* it) {
        sBetriebsart_nr = it->text(0);
        sBetriebsart_bez = it->text(1);
    });
    connect(lvBetriebsarten, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* it) {
        sBetriebsart_nr = it->text(0);
        sBetriebsart_bez = it->text(1);
        accept();
    });
    connect(take, &QPushButton::clicked, this, &Tfrm_select_branch::TakeSelected);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Tfrm_select_branch::TakeSelected() {
    QTreeWidgetItem* it = lvBetriebsarten->currentItem();
    if (!it || !it->isSelected() || it->text(0).trimmed().isEmpty()) {
        platform::dialogs().message(QStringLiteral("Bitte wählen Sie zunächst eine Betriebsart aus der Liste aus."),
                                    platform::MsgIcon::Information, platform::MsgButtons::Ok, this);
        return;
    }
    sBetriebsart_nr = it->text(0);
    sBetriebsart_bez = it->text(1);
    accept();
}

void Tfrm_select_branch::keyPressEvent(QKeyEvent* e) {
    if (!HandlePickerEnter(e, edSearch, [this] { TakeSelected(); }))
        QDialog::keyPressEvent(e);
}

void Tfrm_select_branch::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_select_branch::FormShow() {
    lbMandant_->setText(sMandantenBez);
    try {
        Fill(QString());
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
    edSearch->setFocus();
}

void Tfrm_select_branch::Fill(const QString& text) {
    lvBetriebsarten->clear();
    std::optional<QList<TBrenvikBetriebsarten>> rows;
    try {
        rows = SearchBetriebsarten(text);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
        return;
    }
    if (!rows)
        return;
    lbBetriebsartenAnzahl->setText(QStringLiteral("Anzahl: ") + QString::number(rows->size()));
    QList<QTreeWidgetItem*> items;
    items.reserve(rows->size());
    for (const TBrenvikBetriebsarten& b : *rows)
        items.append(new QTreeWidgetItem({b.betriebsart_nr, b.betriebsart_bez}));
    lvBetriebsarten->addTopLevelItems(items);
}
