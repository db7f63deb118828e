#include "building/frm_gebchoice.h"

#include "platform/ui_common.h"
#include "building/gebdata.h"
#include "platform/dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFrmGebChoice::TFrmGebChoice(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmGebChoice"));
    setWindowTitle(QStringLiteral("Gebäude wählen"));
    resize(560, 360);
    auto* top = new QVBoxLayout(this);
    top->addWidget(new QLabel(QStringLiteral("Gebäude für Bericht wählen:")));
    lbGeb = new QListWidget;
    lbGeb->setObjectName(QStringLiteral("lbGeb"));
    top->addWidget(lbGeb, 1);
    top->addLayout(UiOkCancelRow(btnOK, btnCancel));
    connect(btnOK, &QPushButton::clicked, this, &TFrmGebChoice::btnOKClick);
    connect(lbGeb, &QListWidget::itemDoubleClicked, this, &TFrmGebChoice::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmGebChoice::Initialize(const QString& pOwnerID) {
    FOwnerID = pOwnerID;
    lbGeb->clear();
    rows_ = GetGebObjektGebList(pOwnerID);
    for (const TGebObjektGeb& g : rows_)
        lbGeb->addItem(g.ObjCaption + QStringLiteral(" | ") + g.ObjStrasse + QStringLiteral(" | ") + g.ObjOrt +
                       QStringLiteral(" | ") + g.GebCaption);
}

void TFrmGebChoice::btnOKClick() {
    const int row = lbGeb->currentRow();
    if (row >= 0 && row < rows_.size() && lbGeb->currentItem()->isSelected()) {
        FGebPID = rows_[row].GebPID;
        FObjektPID = rows_[row].ObjektPID;
        FGebArt = rows_[row].GebArt;
        FGebAusf = rows_[row].GebAusf;
    }
    if (!FGebPID.isEmpty()) {
        accept();
        return;
    }
    platform::dialogs().message(QStringLiteral("Bitte Gebäude wählen."), platform::MsgIcon::Information,
                                platform::MsgButtons::Ok, this);
}
