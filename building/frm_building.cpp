#include "building/frm_building.h"

#include "building/frm_gebitems.h"
#include "platform/ui_common.h"
#include "building/gebdata.h"
#include "building/gebprepare.h"
#include "db/brenvik_types.h"
#include "platform/qt_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

const QString kNeuwert = QStringLiteral("Neuwert");
const QString kMark1914 = QStringLiteral("MK (Mark1914)");
const QString kPreisbasis2000 = QStringLiteral("Auf Preisbasis des Jahres 2000 und wird somit umgerechnet auf");
const QString kHochgerechnet = QStringLiteral("Aus dem Wert 1914 wird somit hochgerechnet auf");
const QColor kWarning(244, 91, 74);

QLabel* label(const QString& text, const char* name = nullptr) {
    auto* l = new QLabel(text);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

QLineEdit* output(const char* name) {
    QLineEdit* e = UiLineEdit(name);
    e->setReadOnly(true);
    e->setAlignment(Qt::AlignRight);
    UiAmountWidth(e);
    return e;
}

QComboBox* combo(const char* name, const QStringList& items, bool editable = false) {
    auto* c = new QComboBox;
    c->setObjectName(QString::fromLatin1(name));
    c->setEditable(editable);
    c->addItems(items);
    return c;
}

void mark(QLineEdit* e, bool warn) {
    QPalette p = e->palette();
    p.setColor(QPalette::Base, warn ? kWarning : QPalette().color(QPalette::Base));
    e->setPalette(p);
}

QTextEdit* memo(const char* name) {
    auto* m = new QTextEdit;
    m->setObjectName(QString::fromLatin1(name));
    m->setReadOnly(true);
    return m;
}

// Selects the item with the text; false (and the first item) when there is none.
bool selectText(QComboBox* c, const QString& text) {
    const int i = c->findText(text, Qt::MatchExactly);
    c->setCurrentIndex(i >= 0 ? i : (c->count() > 0 ? 0 : -1));
    return i >= 0;
}

void showError(QWidget* parent, const QString& text) {
    platform::dialogs().message(text, MsgIcon::Error, MsgButtons::Ok, parent);
}

} // namespace

// ---- Type details ----

TFrmGebTypeInfo::TFrmGebTypeInfo(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrmGebTypeInfo"));
    auto* form = new QFormLayout(this);
    auto ro = [](const char* name) {
        QLineEdit* e = UiLineEdit(name);
        e->setReadOnly(true);
        return e;
    };
    txtNummer = ro("txtNummer");
    txtIndexNr = ro("txtIndexNr");
    txtBezeichnung = ro("txtBezeichnung");
    txtArtRichtwerte = ro("txtArtRichtwerte");
    txtLebensdauerMin = ro("txtLebensdauerMin");
    txtLebensdauerMax = ro("txtLebensdauerMax");
    txtRichtEinfach = ro("txtRichtEinfach");
    txtRichtNormal = ro("txtRichtNormal");
    txtRichtGut = ro("txtRichtGut");
    txtHerkunft = ro("txtHerkunft");
    memDescription = memo("memDescription");
    memRohbau = memo("memRohbau");
    memEinfach = memo("memEinfach");
    memNormal = memo("memNormal");
    memGut = memo("memGut");
    cbxUst = new QCheckBox(QStringLiteral("Werte inkl. Umsatzsteuer"));
    cbxUst->setObjectName(QStringLiteral("cbxUst"));
    cbxUst->setEnabled(false);
    form->addRow(QStringLiteral("Nummer"), txtNummer);
    form->addRow(QStringLiteral("Index-Nr."), txtIndexNr);
    form->addRow(QStringLiteral("Bezeichnung"), txtBezeichnung);
    form->addRow(QStringLiteral("Art der Richtwerte"), txtArtRichtwerte);
    form->addRow(QStringLiteral("Lebensdauer Min."), txtLebensdauerMin);
    form->addRow(QStringLiteral("Lebensdauer Max."), txtLebensdauerMax);
    form->addRow(QStringLiteral("Beschreibung"), memDescription);
    form->addRow(QStringLiteral("Rohbau/Bauart"), memRohbau);
    form->addRow(QStringLiteral("Einfache Ausführung"), memEinfach);
    form->addRow(QStringLiteral("Richtwert"), txtRichtEinfach);
    form->addRow(QStringLiteral("Normale Ausführung"), memNormal);
    form->addRow(QStringLiteral("Richtwert"), txtRichtNormal);
    form->addRow(QStringLiteral("Gute / sehr gute Ausführung"), memGut);
    form->addRow(QStringLiteral("Richtwert"), txtRichtGut);
    form->addRow(QStringLiteral("Herkunft"), txtHerkunft);
    form->addRow(cbxUst);
}

void TFrmGebTypeInfo::ShowType(const TGebType& t, const QString& versart) {
    txtNummer->setText(t.PID);
    txtIndexNr->setText(versart == kMark1914 && t.INDEXNR == 894 ? QStringLiteral("894/1021")
                                                                 : QString::number(t.INDEXNR));
    txtBezeichnung->setText(t.GEBCAPTION);
    txtArtRichtwerte->setText(t.RICHTPREISART);
    txtLebensdauerMin->setText(QString::number(t.LIFETIMEMIN));
    txtLebensdauerMax->setText(QString::number(t.LIFETIMEMAX));
    memDescription->setPlainText(t.DESCRIPTION);
    memRohbau->setPlainText(t.AUSFROHBAU);
    memEinfach->setPlainText(t.AUSFEINFACH);
    memNormal->setPlainText(t.AUSFNORMAL);
    memGut->setPlainText(t.AUSFGUT);
    txtRichtEinfach->setText(t.RICHTPEINFACH);
    txtRichtNormal->setText(t.RICHTPNORMAL);
    txtRichtGut->setText(t.RICHTPGUT);
    txtHerkunft->setText(t.HERKUNFT);
    cbxUst->setChecked(t.UST == QLatin1String("1"));
}

// ---- Editor ----

TFrmBuilding::TFrmBuilding(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmBuilding"));
    setWindowTitle(QStringLiteral("Gebäude"));
    buildUi();
}

void TFrmBuilding::buildUi() {
    // The fields scroll on a small screen; "OK" and "Abbrechen" stay in sight below them.
    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    outer->addLayout(top, 1);
    auto* leftWidget = new QWidget;
    auto* g = new QGridLayout(leftWidget);
    int r = 0;
    auto row = [&](const QString& caption, QWidget* w, QWidget* extra = nullptr, QWidget* extra2 = nullptr) {
        g->addWidget(caption.isNull() ? static_cast<QWidget*>(new QLabel) : label(caption), r, 0);
        g->addWidget(w, r, 1);
        if (extra)
            g->addWidget(extra, r, 2);
        if (extra2)
            g->addWidget(extra2, r, 3);
        ++r;
    };
    lblCreateDate = label({}, "lblCreateDate");
    row(QStringLiteral("Anlagedatum:"), lblCreateDate);
    txtCaption = UiLineEdit("txtCaption");
    txtCaption->setMaxLength(50);
    row(QStringLiteral("Bezeichnung"), txtCaption);
    txtZusatz = UiLineEdit("txtZusatz");
    txtZusatz->setMaxLength(80);
    row(QStringLiteral("Zusatz"), txtZusatz);
    const QRegularExpression digits(QStringLiteral("\\d*"));
    txtBaujahr = UiLineEdit("txtBaujahr");
    txtBaujahr->setMaxLength(4);
    txtBaujahr->setValidator(new QRegularExpressionValidator(digits, txtBaujahr));
    row(QStringLiteral("Baujahr"), txtBaujahr);
    cmbDach = combo("cmbDach",
                    {QStringLiteral("Satteldach"), QStringLiteral("Pultdach"), QStringLiteral("Spitzdach"),
                     QStringLiteral("Flachdach")},
                    true);
    row(QStringLiteral("Dachart"), cmbDach);
    cmbZustand = combo("cmbZustand", FGlobalBuildingHelper.GetAllZustandTypes());
    row(QStringLiteral("Zustand"), cmbZustand);
    lblTypFehlt = label({}, "lblTypFehlt");
    lblTypFehlt->setWordWrap(true);
    lblTypFehlt->setStyleSheet(QStringLiteral("color: rgb(244, 91, 74); font-weight: bold"));
    lblTypFehlt->hide();
    g->addWidget(lblTypFehlt, r++, 1, 1, 3);
    lblIndexNotFound = label(kGebNoIndexMessage, "lblIndexNotFound");
    lblIndexNotFound->setStyleSheet(QStringLiteral("color: rgb(244, 91, 74); font-weight: bold"));
    lblIndexNotFound->hide();
    g->addWidget(lblIndexNotFound, r++, 1, 1, 3);
    cmbGebTyp = combo("cmbGebTyp", {});
    btnShowGebTypeInfo = UiButton(QStringLiteral("i"), "btnShowGebTypeInfo");
    btnShowGebTypeInfo->setToolTip(QStringLiteral("Detailinformationen zu Gebäudetyp öffnen"));
    row(QStringLiteral("Gebäudetyp"), cmbGebTyp, btnShowGebTypeInfo);
    txtLebensdauer = output("txtLebensdauer");
    row(QStringLiteral("Lebensdauer Min/Max"), txtLebensdauer);
    txtEinheit = output("txtEinheit");
    row(QStringLiteral("Einheit"), txtEinheit);
    txtRichtpreisVorschlag = output("txtRichtpreisVorschlag");
    row(QStringLiteral("Richtpreis"), txtRichtpreisVorschlag);
    cmbAusf = combo("cmbAusf", {QStringLiteral("Einfache Ausführung"), QStringLiteral("Normale Ausführung"),
                                QStringLiteral("Gute / sehr gute Ausführung")});
    row(QStringLiteral("Ausführung"), cmbAusf);
    txtChosenRichtpreis = UiLineEdit("txtChosenRichtpreis");
    row(QStringLiteral("Gewählter Richtpreis"), txtChosenRichtpreis);
    txtLebensdauerChosen = UiLineEdit("txtLebensdauerChosen");
    txtLebensdauerChosen->setValidator(new QRegularExpressionValidator(digits, txtLebensdauerChosen));
    row(QStringLiteral("Aufgrund des Zustands gewählte Lebensdauer"), txtLebensdauerChosen);
    txtGrund = UiLineEdit("txtGrund");
    row(QStringLiteral("Begündung"), txtGrund);
    cmbAufmassquelle =
        combo("cmbAufmassquelle", {QStringLiteral("Zeichnungsvorlage"), QStringLiteral("Eigener Bestimmung"),
                                   QStringLiteral("Angabe des Mandanten")});
    row(QStringLiteral("Aufmaße erfolgen nach"), cmbAufmassquelle);
    cmbVSArt = combo("cmbVSArt", {kNeuwert, kMark1914});
    row(QStringLiteral("Versicherungssumme ist vereinbart zum"), cmbVSArt);

    btnProduktkosten = UiButton(QStringLiteral("Bearbeiten"), "btnProduktkosten");
    txtProdukt = output("txtProdukt");
    lblCurProdukt = label({}, "lblCurProdukt");
    g->addWidget(label(QStringLiteral("Produkt (Baukosten)")), r, 0);
    g->addWidget(btnProduktkosten, r, 1, Qt::AlignRight);
    g->addWidget(txtProdukt, r, 2);
    g->addWidget(lblCurProdukt, r++, 3);
    lblUmrechnungProdukt = label({}, "lblUmrechnungProdukt");
    txtProduktIdx = output("txtProduktIdx");
    lblCurProduktIdx = label({}, "lblCurProduktIdx");
    g->addWidget(lblUmrechnungProdukt, r, 0, 1, 2);
    g->addWidget(txtProduktIdx, r, 2);
    g->addWidget(lblCurProduktIdx, r++, 3);
    pnlCalcDetail = new QWidget;
    pnlCalcDetail->setObjectName(QStringLiteral("pnlCalcDetail"));
    auto* detail = new QHBoxLayout(pnlCalcDetail);
    detail->setContentsMargins(0, 0, 0, 0);
    lblCalcDetailText = label({}, "lblCalcDetailText");
    txtCalcDetail = output("txtCalcDetail");
    lblCalcDetailCur = label(QStringLiteral("EUR"), "lblCalcDetailCur");
    detail->addWidget(lblCalcDetailText, 1);
    detail->addWidget(txtCalcDetail);
    detail->addWidget(lblCalcDetailCur);
    g->addWidget(pnlCalcDetail, r++, 0, 1, 4);

    auto costRow = [&](const QString& caption, QPushButton*& btn, const char* btnName, QLineEdit*& sum,
                       const char* sumName, QLabel*& conv, const char* convName, QLineEdit*& idx, const char* idxName,
                       QLabel*& cur, const char* curName) {
        btn = UiButton(QStringLiteral("Bearbeiten"), btnName);
        sum = output(sumName);
        g->addWidget(label(caption), r, 0);
        g->addWidget(btn, r, 1, Qt::AlignRight);
        g->addWidget(sum, r, 2);
        g->addWidget(label(QStringLiteral("MK")), r++, 3);
        conv = label({}, convName);
        idx = output(idxName);
        cur = label({}, curName);
        g->addWidget(conv, r, 0, 1, 2);
        g->addWidget(idx, r, 2);
        g->addWidget(cur, r++, 3);
    };
    costRow(QStringLiteral("Besonders zu veranschlagende Kosten"), btnKosten, "btnKosten", txtKosten, "txtKosten",
            lblUmrechnungBesondereKosten, "lblUmrechnungBesondereKosten", txtKostenIdx, "txtKostenIdx", lblCurKostenIdx,
            "lblCurKostenIdx");
    costRow(QStringLiteral("Aufzugsanlagen"), btnAufzugskosten, "btnAufzugskosten", txtAufzugkosten, "txtAufzugkosten",
            lblUmrechnungAufzugskosten, "lblUmrechnungAufzugskosten", txtAufzugskostenIdx, "txtAufzugskostenIdx",
            lblCurAufzugIdx, "lblCurAufzugIdx");

    txtWiederKost = output("txtWiederKost");
    imgVAT = label(QStringLiteral("USt"), "imgVAT");
    imgVAT->setToolTip(QStringLiteral("Umsatzsteuerpflicht wurde in Berechnung berücksichtigt..."));
    imgVAT->hide();
    lblWiederKostCur = label({}, "lblWiederKostCur");
    g->addWidget(label(QStringLiteral("Wiederbeschaffungspreis ohne Nebenkosten")), r, 0);
    g->addWidget(imgVAT, r, 1, Qt::AlignRight);
    g->addWidget(txtWiederKost, r, 2);
    g->addWidget(lblWiederKostCur, r++, 3);
    txtNebenkosten = UiLineEdit("txtNebenkosten");
    txtNKSumme = output("txtNKSumme");
    lblNKCur = label({}, "lblNKCur");
    auto* nk = new QHBoxLayout;
    nk->addWidget(label(QStringLiteral("Nebenkosten")));
    txtNebenkosten->setMaximumWidth(txtNebenkosten->fontMetrics().horizontalAdvance(QStringLiteral("100,00")) + 16);
    nk->addWidget(txtNebenkosten);
    nk->addWidget(label(QStringLiteral("%")));
    nk->addStretch(1);
    g->addLayout(nk, r, 0, 1, 2);
    g->addWidget(txtNKSumme, r, 2);
    g->addWidget(lblNKCur, r++, 3);
    lblVersArtStr = label({}, "lblVersArtStr");
    QFont bold = lblVersArtStr->font();
    bold.setBold(true);
    lblVersArtStr->setFont(bold);
    txtVersWert = output("txtVersWert");
    lblCurVersWert = label({}, "lblCurVersWert");
    g->addWidget(lblVersArtStr, r, 0, 1, 2);
    g->addWidget(txtVersWert, r, 2);
    g->addWidget(lblCurVersWert, r++, 3);
    txtVersWertRound = output("txtVersWertRound");
    lblCurVersWertRound = label({}, "lblCurVersWertRound");
    g->addWidget(label(QStringLiteral("Gerundet")), r, 0, 1, 2);
    g->addWidget(txtVersWertRound, r, 2);
    g->addWidget(lblCurVersWertRound, r++, 3);

    g->addWidget(label(QStringLiteral("Wertminderungen auf Basis Gebäudezustand:")), r++, 0, 1, 4);
    auto wm = [&](const QString& caption, QLabel*& l, const char* name) {
        l = label({}, name);
        g->addWidget(label(caption), r, 0, 1, 2);
        g->addWidget(l, r++, 2);
    };
    wm(QStringLiteral("Nachlässige Instandhaltung (Nach Vogel):"), lblWmNachl, "lblWmNachl");
    wm(QStringLiteral("Normale Instandhaltung (linearer Verlauf):"), lblWmNorm, "lblWmNorm");
    wm(QStringLiteral("Sorgfältige Instandhaltung (Nach F.W. Ross): "), lblWmSorg, "lblWmSorg");
    wm(QStringLiteral("Sehr sorgfältige Instandhaltung (Parabelförmige Wertminderung): "), lblWmSehrSorg,
       "lblWmSehrSorg");
    lblWmChosen = label({}, "lblWmChosen");
    txtWertMinderung = output("txtWertMinderung");
    auto* chosen = new QHBoxLayout;
    chosen->addWidget(label(QStringLiteral("Aufgrund Gebäudezustands gewählte Wertminderung in Höhe von ")));
    chosen->addWidget(lblWmChosen);
    g->addLayout(chosen, r, 0, 1, 2);
    g->addWidget(txtWertMinderung, r++, 2);
    txtZeitwert = output("txtZeitwert");
    lblCurZeitwert = label({}, "lblCurZeitwert");
    g->addWidget(label(QStringLiteral("Somit beträgt der Zeitwert")), r, 0, 1, 2);
    g->addWidget(txtZeitwert, r, 2);
    g->addWidget(lblCurZeitwert, r++, 3);

    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("scrlGebaeude"));
    scroll->setWidgetResizable(true);
    scroll->setWidget(leftWidget);
    // Only the height scrolls: the amounts and their currency stay whole in the width.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setMinimumWidth(leftWidget->minimumSizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() +
                            2 * scroll->frameWidth());
    top->addWidget(scroll, 1);

    pnlGebTypeDetails = new QGroupBox(QStringLiteral("Gebäudetyp-Details"));
    pnlGebTypeDetails->setObjectName(QStringLiteral("pnlGebTypeDetails"));
    auto* right = new QVBoxLayout(pnlGebTypeDetails);
    FFrmGebTypeInfo = new TFrmGebTypeInfo;
    auto* infoScroll = new QScrollArea;
    infoScroll->setObjectName(QStringLiteral("scrlGebTypeInfo"));
    infoScroll->setWidgetResizable(true);
    infoScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    infoScroll->setFrameShape(QFrame::NoFrame);
    infoScroll->setWidget(FFrmGebTypeInfo);
    right->addWidget(infoScroll, 1);
    btnHideGebTypeDetails = UiButton(QStringLiteral("Details ausblenden"), "btnHideGebTypeDetails");
    right->addWidget(btnHideGebTypeDetails);
    top->addWidget(pnlGebTypeDetails, 1);
    pnlGebTypeDetails->hide();
    outer->addLayout(UiOkCancelRow(btnOK, btnCancel));
    UiFitToScreen(this, QSize(FSmallWidth, 860));

    connect(txtCaption, &QLineEdit::editingFinished, this, &TFrmBuilding::txtCaptionExit);
    connect(txtZusatz, &QLineEdit::editingFinished, this, &TFrmBuilding::txtZusatzExit);
    connect(txtGrund, &QLineEdit::editingFinished, this, &TFrmBuilding::txtGrundExit);
    connect(txtBaujahr, &QLineEdit::editingFinished, this, &TFrmBuilding::txtBaujahrExit);
    connect(txtChosenRichtpreis, &QLineEdit::editingFinished, this, &TFrmBuilding::txtChosenRichtpreisExit);
    connect(txtLebensdauerChosen, &QLineEdit::editingFinished, this, &TFrmBuilding::txtLebensdauerChosenExit);
    connect(txtNebenkosten, &QLineEdit::editingFinished, this, &TFrmBuilding::txtNebenkostenExit);
    connect(cmbGebTyp, &QComboBox::activated, this, &TFrmBuilding::cmbGebTypSelect);
    connect(cmbAusf, &QComboBox::activated, this, &TFrmBuilding::cmbAusfSelect);
    connect(cmbDach, &QComboBox::activated, this, &TFrmBuilding::cmbDachSelect);
    connect(cmbZustand, &QComboBox::activated, this, &TFrmBuilding::cmbZustandSelect);
    connect(cmbAufmassquelle, &QComboBox::activated, this, &TFrmBuilding::cmbAufmassquelleSelect);
    connect(cmbVSArt, &QComboBox::activated, this, &TFrmBuilding::cmbVSArtSelect);
    connect(btnProduktkosten, &QPushButton::clicked, this, &TFrmBuilding::btnProduktkostenClick);
    connect(btnKosten, &QPushButton::clicked, this, &TFrmBuilding::btnKostenClick);
    connect(btnAufzugskosten, &QPushButton::clicked, this, &TFrmBuilding::btnAufzugskostenClick);
    connect(btnShowGebTypeInfo, &QPushButton::clicked, this, &TFrmBuilding::btnShowGebTypeInfoClick);
    connect(btnHideGebTypeDetails, &QPushButton::clicked, this, &TFrmBuilding::btnHideGebTypeDetailsClick);
    connect(btnOK, &QPushButton::clicked, this, &TFrmBuilding::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

const TGebType* TFrmBuilding::selectedType() const {
    const int i = cmbGebTyp->currentIndex();
    return i >= 0 && i < types_.size() ? &types_[i] : nullptr;
}

void TFrmBuilding::Initialize(TGebBuilding* pBuilding, TGebObjekt* pObjekt, bool pIsNew) {
    try {
        if (!pBuilding)
            throw EBrvCommonException(QStringLiteral("Gebäudeobjekt ist null!"));
        FWideWidth = 1295;
        FSmallWidth = 685;
        FVSArtChanging = FSetVersArt = FGebTypeSelected = FTypeMissing = false;
        FIdxVal1970 = FIdxValActYear = FIdxVal900ActYear = 0;
        FBuilding = pBuilding;
        FObjekt = pObjekt;
        FIsNew = pIsNew;
        cmbZustand->clear();
        cmbZustand->addItems(FGlobalBuildingHelper.GetAllZustandTypes());
        types_ = GetGebTypes();
        cmbGebTyp->clear();
        for (const TGebType& t : types_)
            cmbGebTyp->addItem(t.GEBCAPTION);
        showBuilding();
    } catch (const Exception& e) {
        showError(this, QStringLiteral("Initialize: ") + e.message());
    }
}

void TFrmBuilding::showBuilding() {
    TGebBuilding& b = *FBuilding;
    lblCreateDate->setText(b.CreateDate);
    txtCaption->setText(b.Caption);
    txtZusatz->setText(b.Zusatz);
    txtBaujahr->setText(b.Baujahr());
    if (!(b.VERSSTEUER > 0))
        b.VERSSTEUER = 14;
    txtNebenkosten->setText(PlainNumber(b.VERSSTEUER));
    if (!selectText(cmbGebTyp, b.Art) && !b.Art.trimmed().isEmpty() && !FGebTypeSelected) {
        if (!FTypeMissing) {
            FTypeMissing = true;
            const QString text =
                QStringLiteral("Der Gebäudetyp \"%1\" des Gebäudes ist nicht im Katalog vorhanden.\r\nDas "
                               "Gebäude behält seine gespeicherten Werte; bitte wählen Sie einen "
                               "Gebäudetyp, um es neu zu berechnen.")
                    .arg(b.Art);
            lblTypFehlt->setText(text);
            platform::dialogs().message(text, MsgIcon::Warning, MsgButtons::Ok, this);
        }
        cmbGebTyp->setCurrentIndex(-1);
    } else {
        b.Art = cmbGebTyp->currentText();
    }
    lblTypFehlt->setVisible(FTypeMissing);
    applyType(nullptr);
    if (selectText(cmbAusf, b.Ausf))
        cmbAusfSelect();
    b.Ausf = cmbAusf->currentText();
    cmbDach->setEditText(b.Dachart);
    selectText(cmbAufmassquelle, b.Aufmassquelle);
    b.Aufmassquelle = cmbAufmassquelle->currentText();
    FSetVersArt = true;
    selectText(cmbVSArt, b.Versart);
    b.Versart = cmbVSArt->currentText();
    FSetVersArt = false;
    txtGrund->setText(b.Grund);
    selectText(cmbZustand, b.Zustand);
    b.Zustand = cmbZustand->currentText();
    DoCalculateWithSelectedVSArt();
    txtChosenRichtpreis->setText(PlainNumber(b.Richtpreis));
    txtLebensdauerChosen->setText(PlainNumber(b.Lebensdauer));
    showResults();
    markInputs();
}

void TFrmBuilding::applyType(const QString* basis) {
    if ((FVSArtChanging && !basis) || FSetVersArt)
        return;
    FIdxVal1970 = FIdxValActYear = FIdxVal900ActYear = 0;
    const TGebType* t = selectedType();
    if (!t)
        return;
    txtEinheit->setText(t->RICHTPREISART);
    ApplyGebTypeUnits(*t, *FBuilding, FEinheitIdentifier, FDimIdentifier);
    const QString& used = basis ? *basis : FBuilding->Versart;
    const bool neuwert = used == kNeuwert;
    const bool eur = FEinheitIdentifier == QLatin1String("EUR");
    const QString totals = neuwert ? QStringLiteral("EUR") : QStringLiteral("MK");
    if (neuwert) {
        lblUmrechnungProdukt->setText(eur ? kPreisbasis2000 : kHochgerechnet);
        lblCurProdukt->setText(eur ? QStringLiteral("EUR") : QStringLiteral("MK"));
        lblCurProduktIdx->setText(QStringLiteral("EUR"));
    } else {
        lblUmrechnungProdukt->setText(eur ? QStringLiteral("Entspricht Wert 1914") : QString());
        lblCurProdukt->setText(eur ? QStringLiteral("EUR") : QStringLiteral("MK"));
        lblCurProduktIdx->setText(QStringLiteral("MK"));
    }
    const bool idxShown = neuwert || eur;
    txtProduktIdx->setVisible(idxShown);
    lblCurProduktIdx->setVisible(idxShown);
    FCalcDetailsVisible = !neuwert && eur;
    lblCalcDetailText->setText(FCalcDetailsVisible ? kPreisbasis2000 : QString());
    if (!FCalcDetailsVisible)
        txtCalcDetail->clear();
    txtCalcDetail->setVisible(FCalcDetailsVisible);
    lblCalcDetailCur->setVisible(FCalcDetailsVisible);
    pnlCalcDetail->setFixedHeight(FCalcDetailsVisible ? 44 : 21);
    for (QLabel* conv : {lblUmrechnungBesondereKosten, lblUmrechnungAufzugskosten})
        conv->setText(neuwert ? kHochgerechnet : QString());
    for (QWidget* w :
         std::initializer_list<QWidget*>{txtKostenIdx, lblCurKostenIdx, txtAufzugskostenIdx, lblCurAufzugIdx})
        w->setVisible(neuwert);
    lblCurKostenIdx->setText(QStringLiteral("EUR"));
    lblCurAufzugIdx->setText(QStringLiteral("EUR"));
    for (QLabel* l : {lblWiederKostCur, lblNKCur, lblCurVersWert, lblCurVersWertRound, lblCurZeitwert})
        l->setText(totals);
    if (FGebTypeSelected)
        FBuilding->Versart = neuwert ? kNeuwert : kMark1914;
    if (!basis) {
        txtLebensdauer->setText(QStringLiteral("%1/%2").arg(t->LIFETIMEMIN).arg(t->LIFETIMEMAX));
        txtRichtpreisVorschlag->setText(t->RICHTPEINFACH);
    }
    const bool found = LoadGebIndexValues(t->INDEXNR, FIdxVal1970, FIdxValActYear, FIdxVal900ActYear);
    lblIndexNotFound->setVisible(!found);
}

void TFrmBuilding::markInputs() {
    mark(txtChosenRichtpreis, !(FBuilding->Richtpreis > 0));
    mark(txtLebensdauerChosen, !(FBuilding->Lebensdauer > 0));
    mark(txtBaujahr, txtBaujahr->text().trimmed().isEmpty() || txtBaujahr->text().size() != 4);
}

void TFrmBuilding::recalc() {
    markInputs();
    const TGebBuilding& b = *FBuilding;
    lblWmNachl->setText(
        GebPercentText(b.GetWertminderungPercentByZustand(QStringLiteral("Nachlässige Instandhaltung"))));
    lblWmNorm->setText(GebPercentText(b.GetWertminderungPercentByZustand(QStringLiteral("Normale Instandhaltung"))));
    lblWmSorg->setText(
        GebPercentText(b.GetWertminderungPercentByZustand(QStringLiteral("Sorgfältige Instandhaltung"))));
    lblWmSehrSorg->setText(
        GebPercentText(b.GetWertminderungPercentByZustand(QStringLiteral("Sehr sorgfältige Instandhaltung"))));
    lblWmChosen->setText(GebPercentText(b.GetWertminderungPercentByZustand(b.Zustand)));
    // A building whose type is not in the catalogue keeps its stored figures until the user chooses a type.
    if (FTypeMissing)
        return;
    try {
        CalculateStoredGebBuilding(*FBuilding, FObjekt ? *FObjekt : TGebObjekt(), selectedType());
    } catch (const Exception& e) {
        showError(this, e.message());
    }
}

void TFrmBuilding::showResults() {
    const TGebBuilding& b = *FBuilding;
    txtProdukt->setText(GebFmt(b.Produkt));
    txtProduktIdx->setText(GebFmt(b.ProduktIdx));
    if (FCalcDetailsVisible)
        txtCalcDetail->setText(GebFmt(b.ProduktIdxNeuwertEUR));
    txtKosten->setText(GebFmt(b.Kosten));
    txtKostenIdx->setText(GebFmt(b.KostenIdx));
    txtAufzugkosten->setText(GebFmt(b.Aufzugskosten));
    txtAufzugskostenIdx->setText(GebFmt(b.AufzugskostenIdx));
    txtWiederKost->setText(b.RNDWiederKost);
    imgVAT->setVisible(b.UStKorrektur);
    txtNKSumme->setText(b.SummeNK);
    lblVersArtStr->setText(b.VersArtStr);
    txtVersWert->setText(GebFmt(b.VersWert));
    txtVersWertRound->setText(b.SummeBauRound);
    txtWertMinderung->setText(GebFmt(b.Wertminderung));
    txtZeitwert->setText(GebFmt(b.Zeitwert));
}

void TFrmBuilding::DoCalculateWithSelectedVSArt() {
    FVSArtChanging = true;
    FBuilding->Versart = cmbVSArt->currentText();
    const QString basis = cmbVSArt->currentIndex() == 0 ? kNeuwert : kMark1914;
    applyType(&basis);
    recalc();
    showResults();
    FVSArtChanging = false;
}

double TFrmBuilding::storedDimensionSum() const {
    double s = 0;
    for (const TGebDimension& d : GetGebDimensions(FBuilding->PID))
        s += d.DimFlaeche;
    return s;
}

void TFrmBuilding::txtCaptionExit() {
    FBuilding->Caption = txtCaption->text();
}
void TFrmBuilding::txtZusatzExit() {
    FBuilding->Zusatz = txtZusatz->text();
}
void TFrmBuilding::txtGrundExit() {
    FBuilding->Grund = txtGrund->text();
}

void TFrmBuilding::txtBaujahrExit() {
    try {
        FBuilding->setBaujahr(txtBaujahr->text());
    } catch (const Exception& e) {
        showError(this, e.message());
    }
    DoCalculateWithSelectedVSArt();
}

void TFrmBuilding::txtChosenRichtpreisExit() {
    QString error;
    const std::optional<double> price = LeaveNumberEntry(txtChosenRichtpreis, error);
    if (!price) {
        showError(this, error);
        return;
    }
    FBuilding->Richtpreis = *price;
    try {
        FBuilding->Produkt = storedDimensionSum() * FBuilding->Richtpreis;
    } catch (const Exception& e) {
        showError(this, e.message());
    }
    DoCalculateWithSelectedVSArt();
}

void TFrmBuilding::txtLebensdauerChosenExit() {
    FBuilding->Lebensdauer = txtLebensdauerChosen->text().trimmed().toInt();
    DoCalculateWithSelectedVSArt();
}

void TFrmBuilding::txtNebenkostenExit() {
    QString error;
    const std::optional<double> rate = LeaveNumberEntry(txtNebenkosten, error);
    if (!rate) {
        showError(this, error);
        return;
    }
    FBuilding->VERSSTEUER = *rate;
    DoCalculateWithSelectedVSArt();
}

void TFrmBuilding::cmbGebTypSelect() {
    FTypeMissing = false;
    FGebTypeSelected = true;
    FBuilding->Art = cmbGebTyp->currentText();
    applyType(nullptr);
    recalc();
    showBuilding();
    btnShowGebTypeInfoClick();
    FGebTypeSelected = false;
}

void TFrmBuilding::cmbAusfSelect() {
    FBuilding->Ausf = cmbAusf->currentText();
    txtRichtpreisVorschlag->setText(QStringLiteral("0"));
    if (const TGebType* t = selectedType()) {
        const int i = cmbAusf->currentIndex();
        txtRichtpreisVorschlag->setText(i == 0 ? t->RICHTPEINFACH : i == 1 ? t->RICHTPNORMAL : t->RICHTPGUT);
    }
}

void TFrmBuilding::cmbDachSelect() {
    FBuilding->Dachart = cmbDach->currentText();
}
void TFrmBuilding::cmbAufmassquelleSelect() {
    FBuilding->Aufmassquelle = cmbAufmassquelle->currentText();
}

void TFrmBuilding::cmbZustandSelect() {
    FBuilding->Zustand = cmbZustand->currentText();
    DoCalculateWithSelectedVSArt();
}

void TFrmBuilding::cmbVSArtSelect() {
    DoCalculateWithSelectedVSArt();
    if (const TGebType* t = selectedType())
        FFrmGebTypeInfo->ShowType(*t, FBuilding->Versart);
}

bool TFrmBuilding::saveFirst() {
    if (!FIsNew)
        return true;
    if (platform::dialogs().message(QStringLiteral("Das Gebäude muss zuvor gespeichert werden! Jetzt speichern?"),
                                    MsgIcon::Question, MsgButtons::YesNo, this) == MsgResult::No)
        return false;
    return SaveBuilding();
}

void TFrmBuilding::btnProduktkostenClick() {
    if (!saveFirst())
        return;
    TFrmBuildingDimension d(this);
    d.Initialize(FBuilding->PID, FDimIdentifier);
    platform::execModal(d);
    FBuilding->Produkt = d.GetDimFlaechenSum() * FBuilding->Richtpreis;
    DoCalculateWithSelectedVSArt();
    SaveBuilding();
}

void TFrmBuilding::btnKostenClick() {
    if (!saveFirst())
        return;
    TFrmMeasure d(this);
    d.Initialize(FBuilding->PID);
    platform::execModal(d);
    FBuilding->Kosten = d.GetMeasureSum();
    DoCalculateWithSelectedVSArt();
    SaveBuilding();
}

void TFrmBuilding::btnAufzugskostenClick() {
    if (!saveFirst())
        return;
    TFrmGebAufzug d(this);
    d.Initialize(FBuilding->PID);
    platform::execModal(d);
    FBuilding->Aufzugskosten = d.GetAufzugBestandSum();
    DoCalculateWithSelectedVSArt();
    SaveBuilding();
}

void TFrmBuilding::btnShowGebTypeInfoClick() {
    const TGebType* t = selectedType();
    if (!t)
        return;
    try {
        UiFitToScreen(this, QSize(FWideWidth, height()));
        pnlGebTypeDetails->show();
        FFrmGebTypeInfo->ShowType(*t, FBuilding->Versart);
    } catch (const Exception& e) {
        showError(this, QStringLiteral("Fehler bei Anzeige der Gebäudetyp-Details: ") + e.message());
    }
}

void TFrmBuilding::btnHideGebTypeDetailsClick() {
    pnlGebTypeDetails->hide();
    UiFitToScreen(this, QSize(FSmallWidth, height()));
}

void TFrmBuilding::btnOKClick() {
    if (SaveBuilding())
        accept();
}

bool TFrmBuilding::SaveBuilding() {
    TGebBuilding& b = *FBuilding;
    try {
        b.Caption = txtCaption->text();
        b.Zusatz = txtZusatz->text();
        if (!FTypeMissing)
            b.Art = cmbGebTyp->currentText();
        b.Ausf = cmbAusf->currentText();
        b.Dachart = cmbDach->currentText();
        b.Zustand = cmbZustand->currentText();
        b.Grund = txtGrund->text();
        b.Aufmassquelle = cmbAufmassquelle->currentText();
        b.Versart = cmbVSArt->currentText();
        const auto number = [](QLineEdit* e) { return NumberOfEntry(e); };
        b.Richtpreis = number(txtChosenRichtpreis);
        b.VERSSTEUER = number(txtNebenkosten);
        bool ok = false;
        const int years = txtLebensdauerChosen->text().trimmed().toInt(&ok);
        if (!ok)
            throw EBrvTypeConversionError(
                QStringLiteral("'%1' ist kein gültiger ganzzahliger Wert.").arg(txtLebensdauerChosen->text()));
        b.Lebensdauer = years;
        b.setBaujahr(txtBaujahr->text());
        b.Umrechnungsart = lblUmrechnungProdukt->text();
        b.UmrechnungsartSonst = lblUmrechnungBesondereKosten->text();
        b.DeriveSaveTexts(); // CaptionCUR and ZeitwertPercent; the percentages are those shown
        b.WM1 = lblWmNachl->text();
        b.WM2 = lblWmNorm->text();
        b.WM3 = lblWmSorg->text();
        b.WM4 = lblWmSehrSorg->text();
        b.WMSelected = lblWmChosen->text();
    } catch (const Exception& e) {
        showError(this, e.message());
        return false;
    }
    if (b.Caption.trimmed().isEmpty()) {
        platform::dialogs().message(QStringLiteral("Bezeichnung muss angegeben werden"), MsgIcon::Warning,
                                    MsgButtons::Ok, this);
        txtCaption->setFocus();
        return false;
    }
    try {
        if (FDimIdentifier != QStringLiteral("m³")) {
            for (const TGebDimension& d : GetGebDimensions(b.PID))
                if (d.DimH != 0) {
                    platform::dialogs().message(
                        QStringLiteral(
                            "Bei \"Produkt\" sind Datensätze mit Höhen-Angaben \r\nhinterlegt, Gebäude-Einheit "
                            "ist aber ") +
                            FDimIdentifier + QStringLiteral(".") + QStringLiteral("\r\n") + QStringLiteral("\r\n") +
                            QStringLiteral("Korrigieren Sie die Höhen-Angaben auf \"0\" !"),
                        MsgIcon::Warning, MsgButtons::Ok, this);
                    return false;
                }
        }
        if (FIsNew) {
            InsertGebBuilding(b);
            FIsNew = false;
        } else {
            UpdateGebBuilding(b);
        }
        return true;
    } catch (const Exception& e) {
        showError(this, e.message());
        return false;
    }
}
