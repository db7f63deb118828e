#include "building/frm_gebobjekt.h"

#include "building/frm_building.h"
#include "platform/ui_common.h"
#include "building/gebdata.h"
#include "db/brenvik_config.h"
#include "db/brenvik_types.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "platform/qt_dialogs.h"
#include "platform/shell.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

QString GebListAmount(double v) {
    const QLocale l;
    const qint64 cents = std::llround(std::fabs(v) * 100);
    QString digits = QString::number(cents / 100).rightJustified(4, QLatin1Char('0'));
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, l.groupSeparator());
    const QString sign = v < 0 && cents != 0 ? l.negativeSign() : QString();
    return sign + digits + l.decimalPoint() + QStringLiteral("%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
}

namespace {
void message(QWidget* parent, const QString& text, MsgIcon icon) {
    platform::dialogs().message(text, icon, MsgButtons::Ok, parent);
}
} // namespace

TFrameBuilding::TFrameBuilding(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrameBuilding"));
    setWindowTitle(QStringLiteral("Objekt Details"));
    resize(760, 620);
    auto* top = new QVBoxLayout(this);
    auto* totals = new QFormLayout;
    lblVersWerteGesamt = new QLabel;
    lblVersWerteGesamt->setObjectName(QStringLiteral("lblVersWerteGesamt"));
    lblZeitwerteGesamt = new QLabel;
    lblZeitwerteGesamt->setObjectName(QStringLiteral("lblZeitwerteGesamt"));
    totals->addRow(QStringLiteral("Versicherungswerte Gesamt:"), lblVersWerteGesamt);
    totals->addRow(QStringLiteral("Zeitwerte Gesamt:"), lblZeitwerteGesamt);
    top->addLayout(totals);

    PageControl = new QTabWidget;
    PageControl->setObjectName(QStringLiteral("PageControl"));
    top->addWidget(PageControl, 1);

    auto* grund = new QWidget;
    grund->setObjectName(QStringLiteral("tsGrundstueck"));
    auto* f = new QFormLayout(grund);
    auto edit = [&](const QString& caption, QLineEdit*& e, const char* name, int maxLength = 0) {
        e = UiLineEdit(name);
        if (maxLength > 0)
            e->setMaxLength(maxLength);
        f->addRow(caption, e);
    };
    lblCreateDate = new QLabel;
    lblCreateDate->setObjectName(QStringLiteral("lblCreateDate"));
    f->addRow(QStringLiteral("Anlagedatum:"), lblCreateDate);
    edit(QStringLiteral("Objektbezeichnung"), txtObjektcaption, "txtObjektcaption", 80);
    edit(QStringLiteral("Versicherungsnehmer"), txtVersNehmer, "txtVersNehmer", 200);
    f->addRow(new QLabel(QStringLiteral("Ersteller")));
    edit(QStringLiteral("Firma"), txtErsteller, "txtErsteller", 200);
    edit(QStringLiteral("Vorname"), txtErstellerVorname, "txtErstellerVorname", 50);
    edit(QStringLiteral("Name"), txtErstellerNachname, "txtErstellerNachname", 100);
    edit(QStringLiteral("Strasse / Nr."), txtErstellerStrasse, "txtErstellerStrasse", 150);
    edit(QStringLiteral("PLZ Ort"), txtErstellerOrt, "txtErstellerOrt", 150);
    f->addRow(new QLabel(QStringLiteral("Objektanschrift")));
    edit(QStringLiteral("Strasse / Nr."), txtStrasse, "txtStrasse");
    edit(QStringLiteral("PLZ Ort"), txtOrt, "txtOrt");
    for (QLineEdit* e : {txtStrasse, txtOrt}) {
        e->setEnabled(false);
        e->setReadOnly(true);
    }
    edit(QStringLiteral("Grundbuch"), txtGrundbuch, "txtGrundbuch", 50);
    edit(QStringLiteral("Gemarkung"), txtGemarkung, "txtGemarkung", 50);
    edit(QStringLiteral("Flur"), txtFlur, "txtFlur", 50);
    cbUstPflicht =
        new QCheckBox(QStringLiteral("nicht zum Vorsteuerabzug nach §4 UStG o.ä. berechtigt / Die Berechnung "
                                     "erfolgt auf Bruttobasis"));
    cbUstPflicht->setObjectName(QStringLiteral("cbUstPflicht"));
    f->addRow(cbUstPflicht);
    edIndVstVal = UiLineEdit("edIndVstVal");
    lblIndVstVal = new QLabel(QStringLiteral("Individueller Vorsteuersatz:"));
    lblIndVstVal->setObjectName(QStringLiteral("lblIndVstVal"));
    f->addRow(lblIndVstVal, edIndVstVal);
    PageControl->addTab(grund, QStringLiteral("Grundstück"));

    auto* geb = new QWidget;
    geb->setObjectName(QStringLiteral("tsGebaeude"));
    auto* gl = new QVBoxLayout(geb);
    auto* gb = new QHBoxLayout;
    btnNew = UiButton(QStringLiteral("Neu"), "btnNew");
    btnEdit = UiButton(QStringLiteral("Bearbeiten"), "btnEdit");
    btnDelete = UiButton(QStringLiteral("Entfernen"), "btnDelete");
    gb->addWidget(btnNew);
    gb->addWidget(btnEdit);
    gb->addWidget(btnDelete);
    gb->addStretch(1);
    gl->addLayout(gb);
    lvBuildings = UiListView("lvBuildings", {QStringLiteral("Bezeichnung"), QStringLiteral("Gebäudeart"),
                                             QStringLiteral("Versicherungswert"), QStringLiteral("Zeitwert")});
    gl->addWidget(lvBuildings, 1);
    PageControl->addTab(geb, QStringLiteral("Gebäude"));

    auto* att = new QWidget;
    att->setObjectName(QStringLiteral("tsDateianlagen"));
    auto* al = new QVBoxLayout(att);
    lvAttachment = UiListView("lvAttachment", {QStringLiteral("Bezeichnung")});
    al->addWidget(lvAttachment, 1);
    auto* ab = new QHBoxLayout;
    btnAddFile = UiButton(QStringLiteral("Hinzu"), "btnAddFile");
    btnOpenFile = UiButton(QStringLiteral("Öffnen"), "btnOpenFile");
    btnDeleteFile = UiButton(QStringLiteral("Entfernen"), "btnDeleteFile");
    ab->addWidget(btnAddFile);
    ab->addWidget(btnOpenFile);
    ab->addWidget(btnDeleteFile);
    ab->addStretch(1);
    al->addLayout(ab);
    PageControl->addTab(att, QStringLiteral("Dateianlagen"));

    top->addLayout(UiOkCancelRow(btnOK, btnCancel));

    connect(btnNew, &QPushButton::clicked, this, &TFrameBuilding::btnNewClick);
    connect(btnEdit, &QPushButton::clicked, this, &TFrameBuilding::btnEditClick);
    connect(btnDelete, &QPushButton::clicked, this, &TFrameBuilding::btnDeleteClick);
    connect(lvBuildings, &QTreeWidget::itemDoubleClicked, this, &TFrameBuilding::btnEditClick);
    connect(btnAddFile, &QPushButton::clicked, this, &TFrameBuilding::btnAddFileClick);
    connect(btnOpenFile, &QPushButton::clicked, this, &TFrameBuilding::btnOpenFileClick);
    connect(btnDeleteFile, &QPushButton::clicked, this, &TFrameBuilding::btnDeleteFileClick);
    connect(lvAttachment, &QTreeWidget::itemDoubleClicked, this, &TFrameBuilding::btnOpenFileClick);
    connect(cbUstPflicht, &QCheckBox::clicked, this, &TFrameBuilding::cbUstPflichtClick);
    connect(edIndVstVal, &QLineEdit::editingFinished, this, &TFrameBuilding::edIndVstValExit);
    connect(btnOK, &QPushButton::clicked, this, &TFrameBuilding::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TFrameBuilding::btnCancelClick);
}

void TFrameBuilding::Initialize(TGebObjekt* pGebObjekt, const QString& pFileFolder) {
    FGebObjekt = pGebObjekt;
    FFileFolder = pFileFolder;
    if (FFileFolder.isEmpty() || !QDir(FFileFolder).exists()) {
        message(this,
                QStringLiteral("Verzeichnis \"") + FFileFolder +
                    QStringLiteral("\" existiert nicht oder kann nicht erreicht werden.") + QStringLiteral("\r\n") +
                    QStringLiteral("Bitte prüfen Sie den im Mandanten-Datensatz hinterlegten Speicherort.") +
                    QStringLiteral("\r\n") +
                    QStringLiteral("Gebäude-Dateianlagen können in diesem Zustand nicht bearbeitet werden."),
                MsgIcon::Warning);
        for (QWidget* w : std::initializer_list<QWidget*>{btnAddFile, btnDeleteFile, btnOpenFile, lvAttachment})
            w->setEnabled(false);
        FFileFolder.clear(); // no folder is known
    }
    const TGebObjekt& o = *FGebObjekt;
    lblCreateDate->setText(o.CreateDate);
    txtObjektcaption->setText(o.Caption);
    txtVersNehmer->setText(o.VersNehmer);
    txtErsteller->setText(o.Ersteller);
    txtErstellerVorname->setText(o.ErstellerVor);
    txtErstellerNachname->setText(o.ErstellerNach);
    txtErstellerStrasse->setText(o.ErstellerStr);
    txtErstellerOrt->setText(o.ErstellerOrt);
    txtStrasse->setText(o.Strasse);
    txtOrt->setText(o.Ort);
    txtGrundbuch->setText(o.Grundbuch);
    txtGemarkung->setText(o.Gemarkung);
    txtFlur->setText(o.Flur);
    cbUstPflicht->setChecked(o.UstPflicht);
    edIndVstVal->setText(PlainNumber(o.IndVstVal));
    cbUstPflichtClick();
    try {
        FillBuildingList();
        FillAttachmentList();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TFrameBuilding::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void TFrameBuilding::FormShow() {
    PageControl->setCurrentIndex(0);
}

void TFrameBuilding::FillBuildingList() {
    lvBuildings->clear();
    buildings_ = GetGebBuildings(FGebObjekt->PID);
    double vers = 0, zeit = 0;
    for (const TGebBuilding& b : buildings_) {
        auto* item = new QTreeWidgetItem({b.Caption, b.Art, GebListAmount(b.VersWert), GebListAmount(b.Zeitwert)});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        lvBuildings->addTopLevelItem(item);
        vers += b.VersWert;
        zeit += b.Zeitwert;
    }
    lblVersWerteGesamt->setText(GebListAmount(vers));
    lblZeitwerteGesamt->setText(GebListAmount(zeit));
}

void TFrameBuilding::FillAttachmentList() {
    lvAttachment->clear();
    files_ = GetGebFiles(FGebObjekt->PID);
    for (const TGebFile& f : files_)
        lvAttachment->addTopLevelItem(new QTreeWidgetItem({f.GebFilename}));
}

void TFrameBuilding::cbUstPflichtClick() {
    const bool show = !cbUstPflicht->isChecked();
    edIndVstVal->setVisible(show);
    lblIndVstVal->setVisible(show);
}

TFrameBuilding::VatSituation TFrameBuilding::readVatSituation() {
    VatSituation v{cbUstPflicht->isChecked(), FGebObjekt->IndVstVal};
    const QString tooHigh =
        QStringLiteral("Der angegebene Steuersatz kann nicht höher als der aktuell gesetzlich festgelegte Wert sein.");
    try {
        double f = 0;
        if (!v.ustPflicht) {
            if (edIndVstVal->text().isEmpty())
                edIndVstVal->setText(QStringLiteral("0,00"));
            const std::optional<double> rate = ReadNumber(edIndVstVal->text());
            if (!rate || *rate < 0)
                throw EBrvTypeConversionError(edIndVstVal->text());
            if (*rate == 0) {
                message(this,
                        QStringLiteral("Bitte beachten Sie, dass im Falle des Wertes 0 die Berechnung auf "
                                       "Bruttobasis erfolgt."),
                        MsgIcon::Information);
                v.ustPflicht = true;
            }
            v.indVstVal = *rate;
            f = *rate / 100 + 1;
        }
        if (GetAktuellerMwstFaktor() < f)
            throw EBrvCommonException(tooHigh);
    } catch (const EBrvCommonException&) {
        throw;
    } catch (const Exception&) {
        throw EBrvCommonException(
            QStringLiteral("Fehlerhafter Wert für individuellen Vorsteuersatz. Gültige Gleitkommazahl erforderlich."));
    }
    return v;
}

void TFrameBuilding::TakeFirstPage() {
    TGebObjekt& o = *FGebObjekt;
    o.CreateDate = lblCreateDate->text();
    o.Caption = txtObjektcaption->text();
    o.VersNehmer = txtVersNehmer->text();
    o.Ersteller = txtErsteller->text();
    o.ErstellerVor = txtErstellerVorname->text();
    o.ErstellerNach = txtErstellerNachname->text();
    o.Strasse = txtStrasse->text();
    o.Ort = txtOrt->text();
    o.Grundbuch = txtGrundbuch->text();
    o.Gemarkung = txtGemarkung->text();
    o.Flur = txtFlur->text();
    // The rate reaches the object only once its checks have passed: a refused rate must not be used by anything.
    const VatSituation vat = readVatSituation();
    o.UstPflicht = vat.ustPflicht;
    o.IndVstVal = vat.indVstVal;
    o.ErstellerStr = txtErstellerStrasse->text();
    o.ErstellerOrt = txtErstellerOrt->text();
}

void TFrameBuilding::SaveAndRecalculate() {
    UpdateGebObjekt(*FGebObjekt);
    for (TGebBuilding& b : buildings_) {
        TFrmBuilding editor(this);
        editor.Initialize(&b, FGebObjekt, false);
        editor.DoCalculateWithSelectedVSArt();
        editor.SaveBuilding();
    }
}

void TFrameBuilding::edIndVstValExit() {
    try {
        TakeFirstPage();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
        return;
    }
    try {
        SaveAndRecalculate();
        FillBuildingList();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
    btnOK->setFocus();
}

void TFrameBuilding::btnOKClick() {
    try {
        TakeFirstPage();
    } catch (const Exception& e) {
        // A refused entry (a rate above the regular one) is said, and the window stays open to correct it.
        ShowApplicationError(e.message(), this);
        return;
    }
    try {
        SaveAndRecalculate();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
    accept();
}

void TFrameBuilding::btnCancelClick() {
    reject();
}

int TFrameBuilding::selectedBuilding() const {
    QTreeWidgetItem* item = lvBuildings->currentItem();
    return item && item->isSelected() ? lvBuildings->indexOfTopLevelItem(item) : -1;
}

int TFrameBuilding::selectedFile() const {
    QTreeWidgetItem* item = lvAttachment->currentItem();
    return item && item->isSelected() ? lvAttachment->indexOfTopLevelItem(item) : -1;
}

void TFrameBuilding::openBuilding(TGebBuilding& b, bool isNew) {
    // The building is valued with the object's VAT situation as the window shows it now, not as it was at opening:
    // a changed box or rate is checked, stored and applied to the object's buildings first.
    const VatSituation vat = readVatSituation();
    if (vat.ustPflicht != FGebObjekt->UstPflicht || vat.indVstVal != FGebObjekt->IndVstVal) {
        TakeFirstPage();
        SaveAndRecalculate();
        FillBuildingList();
        for (const TGebBuilding& stored : buildings_)
            if (stored.PID == b.PID)
                b = stored;
    }
    TFrmBuilding editor(this);
    editor.Initialize(&b, FGebObjekt, isNew);
    const int result = platform::execModal(editor);
    if (!isNew || result == QDialog::Accepted)
        FillBuildingList();
}

void TFrameBuilding::btnNewClick() {
    TGebBuilding b(FGebObjekt->PID);
    try {
        openBuilding(b, true);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TFrameBuilding::btnEditClick() {
    const int row = selectedBuilding();
    if (row < 0)
        return;
    TGebBuilding b = buildings_[row];
    try {
        openBuilding(b, false);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TFrameBuilding::btnDeleteClick() {
    const int row = selectedBuilding();
    if (row < 0)
        return;
    if (platform::dialogs().message(QStringLiteral("Gebäude \"%1\" entfernen?").arg(buildings_[row].Caption),
                                    MsgIcon::Question, MsgButtons::YesNo, this) == MsgResult::No)
        return;
    try {
        DeleteGebBuilding(buildings_[row].PID);
        buildings_.removeAt(row);
        delete lvBuildings->takeTopLevelItem(row);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TFrameBuilding::btnAddFileClick() {
    const QString chosen = platform::dialogs().openFile(QString(), QString(), QString(), this);
    if (chosen.isEmpty() || FFileFolder.isEmpty())
        return;
    const QString name = QFileInfo(chosen).fileName();
    const QString target = FFileFolder + name;
    try {
        if (QFileInfo::exists(target))
            message(this,
                    QStringLiteral("Datei \"") + name +
                        QStringLiteral("\" ist im Zielverzeichnis bereits vorhanden. ") + QStringLiteral("\r\n") +
                        QStringLiteral("Benennen Sie die zu kopierende Datei zunächst um."),
                    MsgIcon::Warning);
        // Never over an existing file: after the warning the copy simply does not happen.
        if (QFile::copy(chosen, target)) {
            try {
                InsertGebFile(NewGuidText(), FGebObjekt->PID, name);
            } catch (const Exception& e) {
                message(this,
                        QStringLiteral("Fehler beim Speichern der Dateiinformationen in der Datenbank:\r\n") +
                            e.message(),
                        MsgIcon::Error);
                if (!QFile::remove(target))
                    message(this,
                            QStringLiteral("Datei \"") + name +
                                QStringLiteral("\" konnte nicht wieder entfernt werden: ") + QStringLiteral("\r\n") +
                                QStringLiteral("Löschen fehlgeschlagen"),
                            MsgIcon::Error);
            }
        }
        FillAttachmentList();
    } catch (const Exception& e) {
        message(this,
                QStringLiteral("Fehler beim Kopieren der Datei \"") + name + QStringLiteral("\": ") +
                    QStringLiteral("\r\n") + e.message(),
                MsgIcon::Error);
    }
}

bool TGlobalBuildingHelper::ExecuteProgramm(const QString& fileName) const {
    return platform::shellOpen(fileName);
}

void TFrameBuilding::btnOpenFileClick() {
    const int row = selectedFile();
    if (row < 0 || FFileFolder.isEmpty())
        return;
    if (!FGlobalBuildingHelper.ExecuteProgramm(FFileFolder + files_[row].GebFilename))
        message(this, QStringLiteral("Fehler beim Öffnen der Datei: ") + FFileFolder + files_[row].GebFilename,
                MsgIcon::Error);
}

void TFrameBuilding::btnDeleteFileClick() {
    const int row = selectedFile();
    if (row < 0 || FFileFolder.isEmpty())
        return;
    const TGebFile file = files_[row];
    if (platform::dialogs().message(QStringLiteral("Datei \"%1\" wirklich löschen?").arg(file.GebFilename),
                                    MsgIcon::Question, MsgButtons::YesNo, this) == MsgResult::No)
        return;
    try {
        try {
            DeleteGebFile(file.PID);
        } catch (const Exception& e) {
            message(this,
                    QStringLiteral("Fehler beim Entfernen der Dateiinformationen in der Datenbank:\r\n") + e.message(),
                    MsgIcon::Error);
        }
        const QString path = FFileFolder + file.GebFilename;
        if (!QFile::remove(path))
            message(this,
                    QStringLiteral("Fehler beim Entfernen der Datei \"") + path + QStringLiteral("\" :") +
                        QStringLiteral("\r\n") + QStringLiteral("Löschen fehlgeschlagen."),
                    MsgIcon::Error);
        FillAttachmentList();
    } catch (const Exception& e) {
        message(this, QStringLiteral("Fehler beim Öffnen der Datei: ") + e.message(), MsgIcon::Error);
    }
}
