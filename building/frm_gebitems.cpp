#include "building/frm_gebitems.h"

#include "platform/ui_common.h"
#include "building/gebdata.h"
#include "building/gebprepare.h"
#include "db/brenvik_types.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "platform/qt_dialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

QLineEdit* readOnly(QLineEdit* e) {
    e->setReadOnly(true);
    return e;
}

// Leaving a number field: a blank field is 0; an unreadable text is said (naming the field) and changes nothing.
std::optional<double> leaveNumber(QLineEdit* e) {
    QString error;
    const std::optional<double> v = LeaveNumberEntry(e, error);
    if (!v)
        platform::dialogs().message(error, platform::MsgIcon::Warning, platform::MsgButtons::Ok, e->window());
    return v;
}

// At "OK" every number must be readable; the first that is not stops the transfer with the parser's message.
double numberAtOk(QLineEdit* e, bool blankIsZero = false) {
    if (blankIsZero && e->text().trimmed().isEmpty())
        return 0;
    return NumberOfEntry(e);
}

int wholeAtOk(QLineEdit* e) {
    bool ok = false;
    const int v = e->text().trimmed().toInt(&ok);
    if (!ok)
        throw EBrvTypeConversionError(QStringLiteral("'%1' ist kein gültiger ganzzahliger Wert.").arg(e->text()));
    return v;
}

QHBoxLayout* okCancel(QDialog* d, const std::function<void()>& ok) {
    QPushButton *btnOK, *btnCancel;
    QHBoxLayout* row = UiOkCancelRow(btnOK, btnCancel);
    btnOK->setDefault(true);
    QObject::connect(btnOK, &QPushButton::clicked, d, ok);
    QObject::connect(btnCancel, &QPushButton::clicked, d, &QDialog::reject);
    return row;
}

void showError(QWidget* parent, const QString& text) {
    platform::dialogs().message(text, MsgIcon::Error, MsgButtons::Ok, parent);
}

// Reads the numbers, stores the line, and closes with OK in every case: the list reads its lines back anyway.
void finishDetail(QDialog* d, const std::function<void()>& transfer, const std::function<void()>& store) {
    try {
        transfer();
        store();
    } catch (const Exception& e) {
        showError(d, e.message());
    }
    d->accept();
}

} // namespace

// ---- Dimension detail ----

TFrmBuildingDimensionDetail::TFrmBuildingDimensionDetail(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmBuildingDimensionDetail"));
    setWindowTitle(QStringLiteral("Maßangaben"));
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    txtCaption = UiLineEdit("txtCaption");
    txtCaption->setMaxLength(150);
    txtL = UiLineEdit("txtL");
    txtB = UiLineEdit("txtB");
    txtH = UiLineEdit("txtH");
    txtSum = readOnly(UiLineEdit("txtSum"));
    lblH = new QLabel(QStringLiteral("Höhe"));
    lblH->setObjectName(QStringLiteral("lblH"));
    lblEinheit = new QLabel;
    lblEinheit->setObjectName(QStringLiteral("lblEinheit"));
    form->addRow(QStringLiteral("Bezeichnung"), txtCaption);
    form->addRow(QStringLiteral("Länge"), txtL);
    form->addRow(QStringLiteral("Breite"), txtB);
    form->addRow(lblH, txtH);
    auto* sumRow = new QHBoxLayout;
    sumRow->addWidget(txtSum, 1);
    sumRow->addWidget(lblEinheit);
    form->addRow(QStringLiteral("Gesamt"), sumRow);
    top->addLayout(form);
    top->addLayout(okCancel(this, [this] { btnOKClick(); }));
    for (QLineEdit* e : {txtL, txtB, txtH})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { fieldExit(e); });
}

void TFrmBuildingDimensionDetail::Initialize(TGebDimension* line, bool isNew) {
    if (!line)
        throw EBrvCommonException(QStringLiteral("GebDimObject ist null!"));
    line_ = line;
    new_ = isNew;
    txtCaption->setText(line->DimCaption);
    txtL->setText(PlainNumber(line->DimL));
    txtB->setText(PlainNumber(line->DimB));
    txtH->setText(PlainNumber(line->DimH));
    txtSum->setText(PlainNumber(line->DimFlaeche));
    lblEinheit->setText(line->DimEinheit);
    const bool area = line->DimEinheit == QStringLiteral("m²") && line->DimH == 0;
    txtH->setEnabled(!area);
    lblH->setEnabled(!area);
}

void TFrmBuildingDimensionDetail::fieldExit(QLineEdit* field) {
    const std::optional<double> v = leaveNumber(field);
    if (!v)
        return;
    (field == txtL ? line_->DimL : field == txtB ? line_->DimB : line_->DimH) = *v;
    recompute();
}

void TFrmBuildingDimensionDetail::recompute() {
    line_->DimFlaeche = GebDimensionQuantity(*line_);
    txtSum->setText(TwoDecimals(line_->DimFlaeche));
}

void TFrmBuildingDimensionDetail::btnOKClick() {
    finishDetail(
        this,
        [this] {
            line_->DimCaption = txtCaption->text();
            line_->DimL = numberAtOk(txtL);
            line_->DimB = numberAtOk(txtB);
            line_->DimH = numberAtOk(txtH);
            line_->DimFlaeche = numberAtOk(txtSum);
        },
        [this] {
            if (new_) {
                InsertGebDimension(*line_);
                new_ = false;
            } else {
                UpdateGebDimension(*line_);
            }
        });
}

// ---- Component detail ----

TFrmGebMeasureBasicDetails::TFrmGebMeasureBasicDetails(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmGebMeasureBasicDetails"));
    setWindowTitle(QStringLiteral("Details"));
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cmbCaption = new QComboBox;
    cmbCaption->setObjectName(QStringLiteral("cmbCaption"));
    cmbCaption->setEditable(true);
    txtMin = readOnly(UiLineEdit("txtMin"));
    txtMax = readOnly(UiLineEdit("txtMax"));
    txtEinheit = UiLineEdit("txtEinheit");
    txtCount = UiLineEdit("txtCount");
    txtRichtpreis = UiLineEdit("txtRichtpreis");
    txtSum = readOnly(UiLineEdit("txtSum"));
    form->addRow(QStringLiteral("Bezeichnung"), cmbCaption);
    form->addRow(QStringLiteral("Mindestrichtpreis"), txtMin);
    form->addRow(QStringLiteral("Maximalrichtpreis"), txtMax);
    form->addRow(QStringLiteral("Einheit"), txtEinheit);
    form->addRow(QStringLiteral("Anzahl"), txtCount);
    form->addRow(QStringLiteral("Gewählte Richtzahl"), txtRichtpreis);
    form->addRow(QStringLiteral("Summe"), txtSum);
    top->addLayout(form);
    top->addLayout(okCancel(this, [this] { btnOKClick(); }));
    connect(cmbCaption, &QComboBox::activated, this, &TFrmGebMeasureBasicDetails::cmbCaptionSelect);
    for (QLineEdit* e : {txtCount, txtRichtpreis})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { fieldExit(e); });
    connect(txtEinheit, &QLineEdit::editingFinished, this, [this] {
        if (line_)
            line_->Einheit = txtEinheit->text();
    });
}

void TFrmGebMeasureBasicDetails::Initialize(TGebMeasure* line, bool isNew) {
    if (!line)
        throw EBrvCommonException(QStringLiteral("Measureobject ist null!"));
    line_ = line;
    new_ = isNew;
    catalogue_ = GetGebBauteile();
    cmbCaption->clear();
    for (const TGebBauteil& b : catalogue_)
        cmbCaption->addItem(b.Caption);
    const int found = cmbCaption->findText(line->Caption, Qt::MatchExactly);
    if (found >= 0)
        cmbCaption->setCurrentIndex(found);
    else
        cmbCaption->setEditText(line->Caption); // a caption of its own stays as free text
    txtMin->setText(PlainNumber(line->MeasureX));
    txtMax->setText(PlainNumber(line->MeasureY));
    txtEinheit->setText(line->Einheit);
    txtCount->setText(PlainNumber(line->MeasureCount));
    txtRichtpreis->setText(PlainNumber(line->Richtpreis));
    txtSum->setText(PlainNumber(line->MeasureSum));
}

void TFrmGebMeasureBasicDetails::cmbCaptionSelect(int index) {
    if (index < 0 || index >= catalogue_.size())
        return;
    const TGebBauteil& b = catalogue_[index];
    txtMin->setText(PlainNumber(b.Minpreis));
    txtMax->setText(PlainNumber(b.Maxpreis));
    txtEinheit->setText(b.Einheit);
    txtCount->setFocus();
}

void TFrmGebMeasureBasicDetails::fieldExit(QLineEdit* field) {
    const std::optional<double> v = leaveNumber(field);
    if (!v)
        return;
    (field == txtCount ? line_->MeasureCount : line_->Richtpreis) = *v;
    recompute();
}

void TFrmGebMeasureBasicDetails::recompute() {
    line_->MeasureSum = GebMeasureSum(*line_);
    txtSum->setText(TwoDecimals(line_->MeasureSum));
}

void TFrmGebMeasureBasicDetails::btnOKClick() {
    finishDetail(
        this,
        [this] {
            line_->Caption = cmbCaption->currentText();
            line_->MeasureX = numberAtOk(txtMin, true);
            line_->MeasureY = numberAtOk(txtMax, true);
            line_->Einheit = txtEinheit->text();
            line_->MeasureCount = numberAtOk(txtCount);
            line_->Richtpreis = numberAtOk(txtRichtpreis);
            line_->MeasureSum = numberAtOk(txtSum);
        },
        [this] {
            if (new_) {
                InsertGebMeasure(*line_);
                new_ = false;
            } else {
                UpdateGebMeasure(*line_);
            }
        });
}

// ---- Elevator detail ----

TFrmGebAufzugDetail::TFrmGebAufzugDetail(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmGebAufzugDetail"));
    setWindowTitle(QStringLiteral("Aufzugsanlage Detail"));
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    cmbCaption = new QComboBox;
    cmbCaption->setObjectName(QStringLiteral("cmbCaption"));
    cmbCaption->setMinimumWidth(260);
    txtNutzlast = readOnly(UiLineEdit("txtNutzlast"));
    txtHaltestellen = readOnly(UiLineEdit("txtHaltestellen"));
    txtRichtMin = readOnly(UiLineEdit("txtRichtMin"));
    txtRichtMax = readOnly(UiLineEdit("txtRichtMax"));
    txtRichtMinExtra = readOnly(UiLineEdit("txtRichtMinExtra"));
    txtRichtMaxExtra = readOnly(UiLineEdit("txtRichtMaxExtra"));
    txtEinheit = readOnly(UiLineEdit("txtEinheit"));
    txtAnzahl = UiLineEdit("txtAnzahl");
    txtRichtChosen = UiLineEdit("txtRichtChosen");
    txtAnzahlExtra = UiLineEdit("txtAnzahlExtra");
    txtRichtExtraChosen = UiLineEdit("txtRichtExtraChosen");
    txtSum = readOnly(UiLineEdit("txtSum"));
    const QRegularExpression digits(QStringLiteral("\\d*"));
    for (QLineEdit* e : {txtAnzahl, txtAnzahlExtra})
        e->setValidator(new QRegularExpressionValidator(digits, e));
    form->addRow(QStringLiteral("Bezeichnung"), cmbCaption);
    form->addRow(QStringLiteral("Nutzlast"), txtNutzlast);
    form->addRow(QStringLiteral("Haltestellen"), txtHaltestellen);
    form->addRow(QStringLiteral("Mindestrichtpreis"), txtRichtMin);
    form->addRow(QStringLiteral("Maximalrichtpreis"), txtRichtMax);
    form->addRow(new QLabel(QStringLiteral("Richtpreis pro weitere Haltestelle:")));
    form->addRow(QStringLiteral("Mindestrichtpreis"), txtRichtMinExtra);
    form->addRow(QStringLiteral("Maximalrichtpreis"), txtRichtMaxExtra);
    form->addRow(QStringLiteral("Einheit"), txtEinheit);
    form->addRow(QStringLiteral("Anzahl"), txtAnzahl);
    form->addRow(QStringLiteral("Gewählte Richtzahl"), txtRichtChosen);
    form->addRow(QStringLiteral("Anzahl weitere Haltestellen"), txtAnzahlExtra);
    form->addRow(QStringLiteral("Richtzahl weitere"), txtRichtExtraChosen);
    form->addRow(QStringLiteral("Summe"), txtSum);
    top->addLayout(form);
    top->addLayout(okCancel(this, [this] { btnOKClick(); }));
    connect(cmbCaption, &QComboBox::activated, this, &TFrmGebAufzugDetail::cmbCaptionSelect);
    for (QLineEdit* e : {txtAnzahl, txtRichtChosen, txtAnzahlExtra, txtRichtExtraChosen})
        connect(e, &QLineEdit::editingFinished, this, [this, e] { fieldExit(e); });
}

void TFrmGebAufzugDetail::Initialize(TGebAufzugBestand* line, bool isNew) {
    if (!line)
        throw EBrvCommonException(QStringLiteral("Aufzugobjekt ist null!"));
    line_ = line;
    new_ = isNew;
    catalogue_ = GetGebAufzuege();
    cmbCaption->clear();
    for (const TGebAufzug& a : catalogue_)
        cmbCaption->addItem(a.AufzugCaption);
    cmbCaption->setCurrentIndex(cmbCaption->findText(line->AufzugCaption, Qt::MatchExactly));
    txtNutzlast->setText(line->Nutzlast);
    txtHaltestellen->setText(QString::number(line->Haltestellen));
    txtEinheit->setText(line->Einheit);
    txtAnzahl->setText(QString::number(line->Anzahl));
    txtRichtChosen->setText(PlainNumber(line->Richtpreis));
    txtAnzahlExtra->setText(QString::number(line->ExtraHaltestelleCount));
    txtRichtExtraChosen->setText(PlainNumber(line->RichtpreisExtra));
    txtSum->setText(PlainNumber(line->AufzugSumme));
}

void TFrmGebAufzugDetail::cmbCaptionSelect(int index) {
    if (index < 0 || index >= catalogue_.size())
        return;
    const TGebAufzug& a = catalogue_[index];
    txtNutzlast->setText(a.Nutzlast);
    txtRichtMin->setText(PlainNumber(a.Minpreis));
    txtRichtMax->setText(PlainNumber(a.Maxpreis));
    txtHaltestellen->setText(QString::number(a.Haltestellen));
    txtEinheit->setText(a.Einheit);
    txtRichtMinExtra->setText(PlainNumber(a.ExtrahaltestelleMin));
    txtRichtMaxExtra->setText(PlainNumber(a.ExtrahaltestelleMax));
    for (QLineEdit* e : {txtAnzahl, txtRichtChosen, txtAnzahlExtra, txtRichtExtraChosen, txtSum})
        e->setText(QStringLiteral("0"));
    txtAnzahl->setFocus();
}

void TFrmGebAufzugDetail::fieldExit(QLineEdit* field) {
    const std::optional<double> read = leaveNumber(field);
    if (!read)
        return;
    const double v = *read;
    if (field == txtAnzahl)
        line_->Anzahl = int(v);
    else if (field == txtAnzahlExtra)
        line_->ExtraHaltestelleCount = int(v);
    else if (field == txtRichtChosen)
        line_->Richtpreis = v;
    else
        line_->RichtpreisExtra = v;
    recompute();
}

void TFrmGebAufzugDetail::recompute() {
    line_->AufzugSumme = GebAufzugSumme(*line_);
    txtSum->setText(TwoDecimals(line_->AufzugSumme));
}

void TFrmGebAufzugDetail::btnOKClick() {
    finishDetail(
        this,
        [this] {
            line_->AufzugCaption = cmbCaption->currentText();
            line_->Nutzlast = txtNutzlast->text();
            line_->Haltestellen = wholeAtOk(txtHaltestellen);
            line_->Einheit = txtEinheit->text();
            line_->Anzahl = wholeAtOk(txtAnzahl);
            line_->Richtpreis = numberAtOk(txtRichtChosen);
            line_->ExtraHaltestelleCount = wholeAtOk(txtAnzahlExtra);
            line_->RichtpreisExtra = numberAtOk(txtRichtExtraChosen);
            line_->AufzugSumme = numberAtOk(txtSum);
        },
        [this] {
            if (new_) {
                InsertGebAufzugBestand(*line_);
                new_ = false;
            } else {
                UpdateGebAufzugBestand(*line_);
            }
        });
}

// ---- Lists ----

void GebLineList::fitColumns() {
    // Names and loads are read whole; the header's own width is the least a column gets.
    for (int c = 0; c < lvItems->columnCount(); ++c)
        lvItems->resizeColumnToContents(c);
}

GebLineList::GebLineList(const QString& caption, const char* listName, const QStringList& columns, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    resize(640, 360);
    auto* top = new QVBoxLayout(this);
    lvItems = UiListView(listName, columns);
    top->addWidget(lvItems, 1);
    auto* row = new QHBoxLayout;
    btnNew = UiButton(QStringLiteral("Neu"), "btnNew");
    btnEdit = UiButton(QStringLiteral("Bearbeiten"), "btnEdit");
    btnDelete = UiButton(QStringLiteral("Entfernen"), "btnDelete");
    btnOK = UiButton(QStringLiteral("OK"), "btnOK");
    row->addWidget(btnNew);
    row->addWidget(btnEdit);
    row->addWidget(btnDelete);
    row->addStretch(1);
    row->addWidget(btnOK);
    top->addLayout(row);
    connect(btnNew, &QPushButton::clicked, this, [this] { btnNewClick(); });
    connect(btnEdit, &QPushButton::clicked, this, [this] { btnEditClick(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    connect(lvItems, &QTreeWidget::itemDoubleClicked, this, [this] { btnEditClick(); });
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

int GebLineList::selectedRow() const {
    QTreeWidgetItem* item = lvItems->currentItem();
    return item && item->isSelected() ? lvItems->indexOfTopLevelItem(item) : -1;
}

bool GebLineList::confirmRemove(const QString& caption) {
    return platform::dialogs().message(QStringLiteral("Datensatz \"%1\" entfernen?").arg(caption), MsgIcon::Question,
                                       MsgButtons::YesNo, this) != MsgResult::No;
}

namespace {
// Opens a detail dialog on a line; on cancel the line gets back what it had.
template <typename Dialog, typename Line>
bool editLine(QWidget* parent, Line& line, bool isNew) {
    const Line spare = line;
    Dialog d(parent);
    d.Initialize(&line, isNew);
    if (platform::execModal(d) == QDialog::Accepted)
        return true;
    line = spare;
    return false;
}
} // namespace

TFrmBuildingDimension::TFrmBuildingDimension(QWidget* parent)
    : GebLineList(QStringLiteral("Gebäudemaße"), "lvDimensions",
                  {QStringLiteral("Bezeichnung"), QStringLiteral("Länge"), QStringLiteral("Breite"),
                   QStringLiteral("Höhe"), QStringLiteral("m³ umbauter Raum")},
                  parent) {
    setObjectName(QStringLiteral("FrmBuildingDimension"));
}

void TFrmBuildingDimension::Initialize(const QString& buildingPid, const QString& dimIdentifier) {
    buildingPid_ = buildingPid;
    unit_ = dimIdentifier;
    lvItems->headerItem()->setText(4, unit_ == QStringLiteral("m²") ? QStringLiteral("Fläche")
                                                                    : QStringLiteral("m³ umbauter Raum"));
    fill();
}

void TFrmBuildingDimension::fill() {
    lvItems->clear();
    lines_ = GetGebDimensions(buildingPid_);
    for (const TGebDimension& d : lines_)
        lvItems->addTopLevelItem(new QTreeWidgetItem(
            {d.DimCaption, PlainNumber(d.DimL), PlainNumber(d.DimB), PlainNumber(d.DimH), PlainNumber(d.DimFlaeche)}));
    fitColumns();
}

double TFrmBuildingDimension::GetDimFlaechenSum() const {
    double s = 0;
    for (const TGebDimension& d : lines_)
        s += d.DimFlaeche;
    return s;
}

void TFrmBuildingDimension::btnNewClick() {
    TGebDimension d;
    d.PID = NewGuidText();
    d.DimGeb_FK = buildingPid_;
    d.DimEinheit = unit_;
    if (editLine<TFrmBuildingDimensionDetail>(this, d, true))
        fill();
}

void TFrmBuildingDimension::btnEditClick() {
    const int row = selectedRow();
    if (row < 0)
        return;
    TGebDimension& d = lines_[row];
    if (d.DimEinheit != unit_)
        d.DimEinheit = unit_; // the building's unit counts
    if (editLine<TFrmBuildingDimensionDetail>(this, d, false))
        fill();
}

void TFrmBuildingDimension::btnDeleteClick() {
    const int row = selectedRow();
    if (row < 0 || !confirmRemove(lines_[row].DimCaption))
        return;
    DeleteGebDimension(lines_[row].PID);
    lines_.removeAt(row);
    delete lvItems->takeTopLevelItem(row);
}

TFrmMeasure::TFrmMeasure(QWidget* parent)
    : GebLineList(QStringLiteral("Bauteile"), "lvMeasures",
                  {QStringLiteral("Bezeichnung"), QStringLiteral("Anzahl"), QStringLiteral("Einheit"),
                   QStringLiteral("Richtpreis"), QStringLiteral("Summe")},
                  parent) {
    setObjectName(QStringLiteral("FrmMeasure"));
}

void TFrmMeasure::Initialize(const QString& buildingPid) {
    buildingPid_ = buildingPid;
    fill();
}

void TFrmMeasure::fill() {
    lvItems->clear();
    lines_ = GetGebMeasures(buildingPid_);
    for (const TGebMeasure& m : lines_)
        lvItems->addTopLevelItem(new QTreeWidgetItem(
            {m.Caption, PlainNumber(m.MeasureCount), m.Einheit, PlainNumber(m.Richtpreis), PlainNumber(m.MeasureSum)}));
    fitColumns();
}

double TFrmMeasure::GetMeasureSum() const {
    double s = 0;
    for (const TGebMeasure& m : lines_)
        s += m.MeasureSum;
    return s;
}

void TFrmMeasure::btnNewClick() {
    TGebMeasure m;
    m.PID = NewGuidText();
    m.GebBuildingID = buildingPid_;
    if (editLine<TFrmGebMeasureBasicDetails>(this, m, true))
        fill();
}

void TFrmMeasure::btnEditClick() {
    const int row = selectedRow();
    if (row >= 0 && editLine<TFrmGebMeasureBasicDetails>(this, lines_[row], false))
        fill();
}

void TFrmMeasure::btnDeleteClick() {
    const int row = selectedRow();
    if (row < 0 || !confirmRemove(lines_[row].Caption))
        return;
    DeleteGebMeasure(lines_[row].PID);
    lines_.removeAt(row);
    delete lvItems->takeTopLevelItem(row);
}

TFrmGebAufzug::TFrmGebAufzug(QWidget* parent)
    : GebLineList(QStringLiteral("Aufzugsanlagen"), "lvAufzuege",
                  {QStringLiteral("Bezeichnung"), QStringLiteral("Nutzlast"), QStringLiteral("Anzahl"),
                   QStringLiteral("Summe")},
                  parent) {
    setObjectName(QStringLiteral("FrmGebAufzug"));
}

void TFrmGebAufzug::Initialize(const QString& buildingPid) {
    buildingPid_ = buildingPid;
    fill();
}

void TFrmGebAufzug::fill() {
    lvItems->clear();
    lines_ = GetGebAufzugBestand(buildingPid_);
    for (const TGebAufzugBestand& a : lines_) {
        // Elevators of one catalogue name differ in load, count and cost: all three stand beside the name.
        auto* item =
            new QTreeWidgetItem({a.AufzugCaption, a.Nutzlast, QString::number(a.Anzahl), PlainNumber(a.AufzugSumme)});
        for (int c : {2, 3})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        lvItems->addTopLevelItem(item);
    }
    fitColumns();
}

double TFrmGebAufzug::GetAufzugBestandSum() const {
    double s = 0;
    for (const TGebAufzugBestand& a : lines_)
        s += a.AufzugSumme;
    return s;
}

void TFrmGebAufzug::btnNewClick() {
    TGebAufzugBestand a;
    a.PID = NewGuidText();
    a.OwnerID = buildingPid_;
    if (editLine<TFrmGebAufzugDetail>(this, a, true))
        fill();
}

void TFrmGebAufzug::btnEditClick() {
    const int row = selectedRow();
    if (row >= 0 && editLine<TFrmGebAufzugDetail>(this, lines_[row], false))
        fill();
}

void TFrmGebAufzug::btnDeleteClick() {
    const int row = selectedRow();
    if (row < 0 || !confirmRemove(lines_[row].AufzugCaption))
        return;
    DeleteGebAufzugBestand(lines_[row].PID);
    lines_.removeAt(row);
    delete lvItems->takeTopLevelItem(row);
}
