#include "app/tab_inventar.h"

#include "app/frm_brenvik.h"
#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/ui_common.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;

namespace {
void say(const QString& text, MsgIcon icon, QWidget* parent) {
    platform::dialogs().message(text, icon, MsgButtons::Ok, parent);
}
const QString kSumsFailed = QStringLiteral("Fehler in der Berechnung der Summen zu den Versicherungswerten.");
} // namespace

TTabInventar::TTabInventar(TfrmBrenvik& main) : main_(main) {
    setObjectName(QStringLiteral("tsInventar"));
    auto* l = new QVBoxLayout(this);
    auto* grp = new QGroupBox(QStringLiteral("Inventardaten"));
    auto* f = new QFormLayout(grp);
    lbLetzterImport = new QLabel;
    lbLetzterImport->setObjectName(QStringLiteral("lbLetzterImport"));
    f->addRow(QStringLiteral("Letzter Datenimport:"), lbLetzterImport);
    cbAdresse = new QComboBox;
    cbAdresse->setObjectName(QStringLiteral("cbAdresse"));
    cbAdresse->setEditable(true);
    f->addRow(QStringLiteral("Adresse"), cbAdresse);
    l->addWidget(grp);

    auto* sums = new QGroupBox(QStringLiteral("Inventarsummen"));
    auto* sf = new QFormLayout(sums);
    auto amount = [](const char* name, bool readOnly, bool bold) {
        auto* e = UiLineEdit(name);
        e->setAlignment(Qt::AlignRight);
        e->setReadOnly(readOnly);
        e->setFixedWidth(180);
        if (bold) {
            QFont font = e->font();
            font.setBold(true);
            e->setFont(font);
        }
        return e;
    };
    auto label = [](const QString& text, bool bold) {
        auto* lb = new QLabel(text + QStringLiteral(" ") + QString(12, QLatin1Char('.')));
        if (bold) {
            QFont font = lb->font();
            font.setBold(true);
            lb->setFont(font);
        }
        return lb;
    };
    edSummeAnlagen = amount("edSummeAnlagen", false, false);
    edSummeKFZ = amount("edSummeKFZ", false, false);
    edSummeFinanzanlagen = amount("edSummeFinanzanlagen", false, false);
    edZwischensumme = amount("edZwischensumme", true, false);
    edSummeVorraete = amount("edSummeVorraete", false, false);
    edSummeVorsorge = amount("edSummeVorsorge", false, false);
    edSummeInventar = amount("edSummeInventar", true, true);
    edSummeInventarRnd = amount("edSummeInventarRnd", true, true);
    auto* btnNeu = UiButton(QStringLiteral("Werte neu ermitteln"), "btnWerteNeu");
    auto* btnRechnen = UiButton(QStringLiteral("Summen neu berechnen"), "btnSummenNeu");
    auto* btnKopieren = UiButton(QStringLiteral("In die Zwischenablage kopieren"), "btnZwischenablage");
    auto withButton = [](QLineEdit* e, QPushButton* b) {
        auto* h = new QHBoxLayout;
        h->addWidget(e);
        h->addWidget(b);
        h->addStretch(1);
        return h;
    };
    sf->addRow(label(QStringLiteral("Anlagensumme ohne gelöschte Anlagen"), false), withButton(edSummeAnlagen, btnNeu));
    sf->addRow(label(QStringLiteral("abzgl.  KFZ"), false), edSummeKFZ);
    sf->addRow(label(QStringLiteral("abzgl.  Finanzanlagen"), false), edSummeFinanzanlagen);
    sf->addRow(
        label(QStringLiteral("Versicherungswert der technischen und kaufmännischen Geschäftsausstattung"), false),
        edZwischensumme);
    sf->addRow(label(QStringLiteral("zzgl.  Vorräte"), false), edSummeVorraete);
    sf->addRow(label(QStringLiteral("zzgl.  Vorsorge"), false), edSummeVorsorge);
    sf->addRow(label(QStringLiteral("Inventarsumme"), true), edSummeInventar);
    sf->addRow(label(QStringLiteral("Inventarsumme aufgerundet"), true), withButton(edSummeInventarRnd, btnRechnen));
    sf->addRow(QString(), btnKopieren);
    l->addWidget(sums);
    l->addStretch(1);

    connect(btnNeu, &QPushButton::clicked, this, &TTabInventar::ReloadSumValues);
    connect(btnRechnen, &QPushButton::clicked, this, [this] {
        if (!CalcSumValues())
            ShowApplicationError(kSumsFailed, this);
    });
    connect(btnKopieren, &QPushButton::clicked, this, &TTabInventar::ExportInventory);
    connect(cbAdresse, &QComboBox::currentIndexChanged, this, [this] { ReloadSumValues(); });
    // Enter moves through the inputs and computes at the last.
    const QList<QLineEdit*> chain = {edSummeAnlagen, edSummeKFZ, edSummeFinanzanlagen, edSummeVorraete,
                                     edSummeVorsorge};
    for (int i = 0; i + 1 < chain.size(); ++i)
        connect(chain[i], &QLineEdit::returnPressed, chain[i + 1], [next = chain[i + 1]] { next->setFocus(); });
    connect(edSummeVorsorge, &QLineEdit::returnPressed, this, [this] {
        if (!CalcSumValues())
            ShowApplicationError(kSumsFailed, this);
    });
}

bool TTabInventar::shown() const {
    return main_.PageControl1->currentWidget() == this;
}

void TTabInventar::InventarShow() {
    if (main_.iClientID == 0) {
        if (shown())
            say(QStringLiteral("Bitte wählen Sie zunächst einen Mandanten aus."), MsgIcon::Information, this);
        return;
    }
    ReLoadAddress();
    ReloadSumValues();
}

void TTabInventar::ReLoadAddress() {
    const QSignalBlocker quiet(cbAdresse);
    cbAdresse->clear();
    cbAdresse->clearEditText();
    try {
        cbAdresse->addItem(QStringLiteral("<alle Adressen>"), 0);
        const auto list = GetAdressen(main_.iClientID);
        if (list)
            for (const TBrenvikAdresse& a : *list)
                cbAdresse->addItem(a.adressbezeichnung, a.adress_nr);
        cbAdresse->setCurrentIndex(cbAdresse->count() > 1 ? 0 : -1);
    } catch (const Exception&) {
        say(QStringLiteral("Fehler bei der Ermittlung der Adressen des Mandanten."), MsgIcon::Warning, this);
    }
}

int TTabInventar::addressNr() const {
    return cbAdresse->currentIndex() >= 0 ? cbAdresse->currentData().toInt() : 0;
}

void TTabInventar::ReloadSumValues() {
    if (!shown() || main_.iClientID == 0)
        return;
    QStringList problems;
    const InventoryInputs in = LoadInventoryInputs(main_.iClientID, addressNr(), problems);
    edSummeAnlagen->setText(FormatAmount(in.anlagen));
    edSummeKFZ->setText(FormatAmount(in.kfz));
    edSummeFinanzanlagen->setText(FormatAmount(in.finanzanlagen));
    edSummeVorsorge->setText(FormatAmount(in.vorsorge));
    edSummeVorraete->setText(FormatAmount(in.vorraete));
    const bool computed = CalcSumValues();
    if (!problems.isEmpty())
        say(QStringLiteral("Folgende Probleme traten bei der Summenermittlung auf: ") + QStringLiteral("\r") +
                problems.join(QStringLiteral("\r")),
            MsgIcon::Warning, this);
    if (!computed)
        ShowApplicationError(kSumsFailed, this);
}

bool TTabInventar::CalcSumValues() {
    InventoryInputs in;
    double* targets[] = {&in.anlagen, &in.kfz, &in.finanzanlagen, &in.vorraete, &in.vorsorge};
    QLineEdit* edits[] = {edSummeAnlagen, edSummeKFZ, edSummeFinanzanlagen, edSummeVorraete, edSummeVorsorge};
    try {
        for (int i = 0; i < 5; ++i) {
            edits[i]->setFocus();
            *targets[i] = edits[i]->text().trimmed().isEmpty() ? 0.0 : NumberOfEntry(edits[i]);
            edits[i]->setText(FormatAmount(*targets[i]));
        }
        edSummeAnlagen->setFocus();
    } catch (const Exception& e) {
        say(QStringLiteral("Eingabefehler! Bitte den Wert korrigieren.\r") + e.message(), MsgIcon::Warning, this);
        return false;
    }
    try {
        const InventoryResult r = CalcInventory(in);
        edZwischensumme->setText(FormatAmount(r.zwischensumme));
        edSummeInventar->setText(FormatAmount(r.inventar));
        edSummeInventarRnd->setText(FormatAmount(r.aufgerundet));
        inputs_ = in;
        result_ = r;
    } catch (const Exception& e) {
        say(QStringLiteral("Fehler bei der Berechnung der Summenwerte.\r") + e.message(), MsgIcon::Warning, this);
        return false;
    }
    return true;
}

void TTabInventar::ExportInventory() {
    try {
        if (!CalcSumValues())
            throw Exception(kSumsFailed);
        platform::setClipboardBlock(InventoryBlockText(inputs_, result_), InventoryBlockHtml(inputs_, result_));
        say(QStringLiteral("Die Werte wurden in die Zwischenablage kopiert."), MsgIcon::Information, this);
        TBrenvikKennzahlenStandort s;
        s.brv_mandant_nr = 1;
        s.mandant_nr = main_.iClientID;
        s.adress_nr = addressNr();
        s.vorraete = inputs_.vorraete;
        s.vorsorgesumme = inputs_.vorsorge;
        // The figures go to the clipboard in any case; stored only for a client this seat is editing.
        if (MandantLockHeldHere(main_.iClientID))
            SaveKennzahlenStandort(s);
    } catch (const Exception& e) {
        say(e.message(), MsgIcon::Error, this);
    }
}

void TTabInventar::ShowLetzterImport(const QString& text) {
    lbLetzterImport->setText(text);
}

void TTabInventar::Clear() {
    lbLetzterImport->setText(QStringLiteral("./."));
    cbAdresse->clear();
    for (QLineEdit* e : {edSummeAnlagen, edSummeKFZ, edSummeFinanzanlagen, edZwischensumme, edSummeVorraete,
                         edSummeVorsorge, edSummeInventar, edSummeInventarRnd})
        e->clear();
    inputs_ = {};
    result_ = {};
}
