#include "import/frm_importassets.h"

#include "assets/frm_index.h"
#include "platform/ui_common.h"
#include "core/convert.h"
#include "db/indexwerte.h"
#include "import/importer.h"
#include "import/journal.h"
#include "import/takeover.h"
#include "platform/atomic_file.h"
#include "platform/qt_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringEncoder>
#include <QTreeWidget>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;

namespace {
void showMessages(const QList<ImportMessage>& messages, QWidget* parent) {
    for (const ImportMessage& m : messages)
        platform::dialogs().message(m.text, m.icon, MsgButtons::Ok, parent);
}
} // namespace

Tfrm_ImportAssets::Tfrm_ImportAssets(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_ImportAssets"));
    setWindowTitle(QStringLiteral("Import von Anlagedaten"));
    resize(1000, 640);
    auto* top = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Anlagenimport"));
    QFont hf = heading->font();
    hf.setBold(true);
    hf.setPointSizeF(hf.pointSizeF() * 1.3);
    heading->setFont(hf);
    top->addWidget(heading);
    auto* clientRow = new QHBoxLayout;
    clientRow->addWidget(new QLabel(QStringLiteral("Ausgewählter Mandant:")));
    lbMandant_ = new QLabel;
    lbMandant_->setObjectName(QStringLiteral("lbMandant"));
    lbMandant_->setTextFormat(Qt::PlainText);
    QFont bf = lbMandant_->font();
    bf.setBold(true);
    lbMandant_->setFont(bf);
    clientRow->addWidget(lbMandant_, 1);
    top->addLayout(clientRow);

    auto* form = new QFormLayout;
    cbbxFiletype = new QComboBox;
    cbbxFiletype->setObjectName(QStringLiteral("cbbxFiletype"));
    cbbxFiletype->addItems({QStringLiteral("Excel-Format  (*.xls; *.xlsx)"),
                            QStringLiteral("Textdateien (*.txt; *.csv)"),
                            QStringLiteral("Excel-Format, DATEV 2021 (*.xlsx)")});
    cbbxFiletype->setCurrentIndex(-1);
    form->addRow(QStringLiteral("Dateiformat:"), cbbxFiletype);
    auto* fileRow = new QHBoxLayout;
    edFileName = new QLineEdit;
    edFileName->setObjectName(QStringLiteral("edFileName"));
    fileRow->addWidget(edFileName, 1);
    auto* btnBrowse = new QPushButton(QStringLiteral("..."));
    btnBrowse->setObjectName(QStringLiteral("btnBrowse"));
    btnBrowse->setAutoDefault(false);
    btnBrowse->setMaximumWidth(32);
    fileRow->addWidget(btnBrowse);
    form->addRow(QStringLiteral("Dateiname:"), fileRow);
    QPushButton* btnIndex = nullptr;
    form->addRow(QStringLiteral("Standardindex"), IndexRow(edKategorieNr, btnIndex, lbIndexbezeichnung));
    top->addLayout(form);
    auto check = [](const char* name, const QString& text, const QString& hint) {
        auto* c = new QCheckBox(text);
        c->setObjectName(QString::fromLatin1(name));
        c->setToolTip(hint);
        return c;
    };
    cbxImportGruppe = check("cbxImportGruppe", QStringLiteral("Daten zu Anlagegruppen importieren"),
                            QStringLiteral("Gruppendefinition aus Datei lesen (Spalte 20)"));
    cbxImportZusatz = check("cbxImportZusatz", QStringLiteral("Zusatzdaten importieren"),
                            QStringLiteral("Zusatzdaten aus Datei lesen (Spalte 21)"));
    cbxImportKategorie =
        check("cbxImportKategorie", QStringLiteral("Index aus Datei ermitteln"),
              QStringLiteral("Es wird versucht, den Index aus der Importdatei zu ermitteln (Spalte 22)"));
    auto* options = new QHBoxLayout;
    for (QCheckBox* c : {cbxImportGruppe, cbxImportZusatz, cbxImportKategorie})
        options->addWidget(c);
    options->addStretch(1);
    top->addLayout(options);

    auto* actions = new QHBoxLayout;
    auto button = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        actions->addWidget(b);
        return b;
    };
    auto* btnPruefen = button(QStringLiteral("Daten prüfen/ Vorschau"), "btnPruefen");
    auto* btnUebernehmen = button(QStringLiteral("Daten übernehmen/ Speichern"), "btnUebernehmen");
    actions->addStretch(1);
    edStatus = new QLineEdit;
    edStatus->setObjectName(QStringLiteral("edStatus"));
    edStatus->setReadOnly(true);
    edStatus->setStyleSheet(QStringLiteral("QLineEdit { background: #0000c0; color: white; font-weight: bold; }"));
    edStatus->setMinimumWidth(280);
    edStatus->hide();
    actions->addWidget(edStatus);
    auto* btnBeenden = button(QStringLiteral("Beenden"), "btnBeenden");
    top->addLayout(actions);

    top->addWidget(new QLabel(QStringLiteral("Vorschau:")));
    lvImportData = new QTreeWidget;
    lvImportData->setObjectName(QStringLiteral("lvImportData"));
    lvImportData->setHeaderLabels(kImportPreviewHeaders);
    lvImportData->setRootIsDecorated(false);
    lvImportData->setUniformRowHeights(true);
    lvImportData->setAllColumnsShowFocus(true);
    lvImportData->header()->resizeSection(2, 240);
    top->addWidget(lvImportData, 3);
    auto* counts = new QHBoxLayout;
    lbListviewSum = new QLabel;
    lbListviewSum->setObjectName(QStringLiteral("lbListviewSum"));
    lbImportSumme = new QLabel;
    lbImportSumme->setObjectName(QStringLiteral("lbImportSumme"));
    lbDBCount = new QLabel;
    lbDBCount->setObjectName(QStringLiteral("lbDBCount"));
    counts->addWidget(lbListviewSum);
    counts->addSpacing(24);
    counts->addWidget(lbImportSumme);
    counts->addStretch(1);
    counts->addWidget(lbDBCount);
    top->addLayout(counts);
    top->addWidget(new QLabel(QStringLiteral("Nicht übernommene Zeilen der Importdatei:")));
    lvImportFehler = new QTreeWidget;
    lvImportFehler->setObjectName(QStringLiteral("lvImportFehler"));
    lvImportFehler->setHeaderLabels({QStringLiteral("Zeile"), QStringLiteral("Grund"), QStringLiteral("KontoNr"),
                                     QStringLiteral("Anlagebezeichnung")});
    lvImportFehler->setRootIsDecorated(false);
    lvImportFehler->setUniformRowHeights(true);
    lvImportFehler->header()->resizeSection(1, 380);
    top->addWidget(lvImportFehler, 1);
    top->addWidget(new QLabel(QStringLiteral("Letzte Datenübernahmen dieses Mandanten:")));
    lvUebernahmen = new QTreeWidget;
    lvUebernahmen->setObjectName(QStringLiteral("lvUebernahmen"));
    lvUebernahmen->setHeaderLabels({QStringLiteral("Datum"), QStringLiteral("Datei"), QStringLiteral("Neu"),
                                    QStringLiteral("Bestätigt"), QStringLiteral("Abgänge"),
                                    QStringLiteral("Reaktiviert"), QStringLiteral("Stand")});
    lvUebernahmen->setRootIsDecorated(false);
    lvUebernahmen->setUniformRowHeights(true);
    lvUebernahmen->header()->resizeSection(0, 130);
    lvUebernahmen->header()->resizeSection(1, 300);
    for (int c = 2; c <= 5; ++c)
        lvUebernahmen->header()->resizeSection(c, 85);
    top->addWidget(lvUebernahmen, 1);

    connect(btnBrowse, &QPushButton::clicked, this, &Tfrm_ImportAssets::BrowseClick);
    connect(btnIndex, &QPushButton::clicked, this, &Tfrm_ImportAssets::IndexLookUp);
    connect(edKategorieNr, &QLineEdit::textChanged, this, &Tfrm_ImportAssets::ShowIndexText);
    connect(btnPruefen, &QPushButton::clicked, this, &Tfrm_ImportAssets::PruefenClick);
    connect(btnUebernehmen, &QPushButton::clicked, this, &Tfrm_ImportAssets::UebernehmenClick);
    connect(btnBeenden, &QPushButton::clicked, this, &QDialog::accept);
    edKategorieNr->setText(QStringLiteral("443"));
}

void Tfrm_ImportAssets::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_ImportAssets::FormShow() {
    lbMandant_->setText(sClientName);
    try {
        DeleteDatenimporte(iClientID);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
    ShowIndexText();
    LoadTakeovers();
}

void Tfrm_ImportAssets::LoadTakeovers() {
    lvUebernahmen->clear();
    try {
        for (const TakeoverJournalEntry& e : GetDatenuebernahmen(iClientID)) {
            auto* item = new QTreeWidgetItem(
                {FormatDateTimeLocal(QStringLiteral("DD.MM.YYYY HH:mm"), e.zeitpunkt), QFileInfo(e.datei).fileName(),
                 QString::number(e.neu), QString::number(e.bestaetigt), QString::number(e.abgaenge),
                 QString::number(e.reaktiviert),
                 e.undone ? QStringLiteral("rückgängig gemacht")
                          : (e.undoable ? QStringLiteral("übernommen") : QStringLiteral("übernommen (endgültig)"))});
            item->setToolTip(1, e.datei + (e.archiv.isEmpty() ? QString() : QStringLiteral("\nArchiv: ") + e.archiv));
            lvUebernahmen->addTopLevelItem(item);
        }
    } catch (const Exception&) {
        // The list is information only; a database failure shows at the next action that needs the database.
    }
}

void Tfrm_ImportAssets::BrowseClick() {
    QString filter;
    if (cbbxFiletype->currentIndex() == 0)
        filter = QStringLiteral("Excel-Format (*.xls *.xlsx *.XLS *.XLSX)");
    else if (cbbxFiletype->currentIndex() == 1)
        filter = QStringLiteral("Textdateien (*.txt *.csv *.TXT *.CSV)");
    else
        filter = QStringLiteral("Excel-Format, DATEV 2021 (*.xlsx *.XLSX)");
    const QString file = platform::dialogs().openFile(QStringLiteral("Importdatei auswählen"), {}, filter, this);
    if (!file.isEmpty())
        edFileName->setText(file.trimmed());
}

void Tfrm_ImportAssets::IndexLookUp() {
    Tfrm_SelectIdxCategory d(this);
    d.lbAnlagebezeichnung->setText(QStringLiteral("keine Anlage vorhanden..."));
    if (platform::execModal(d) == QDialog::Accepted)
        edKategorieNr->setText(QString::number(d.iKategorieNr));
}

void Tfrm_ImportAssets::ShowIndexText() {
    lbIndexbezeichnung->setText(QStringLiteral("<unbekannt>"));
    bool ok = false;
    const int nr = edKategorieNr->text().trimmed().toInt(&ok);
    if (!ok)
        return;
    try {
        TBrenvikIndexBeschr b;
        GetIndexBeschreibung(nr, b);
        if (b.kategorie_nr == nr)
            lbIndexbezeichnung->setText(b.index_text);
    } catch (const Exception&) {
        platform::dialogs().message(QStringLiteral("Fehler! Es ist kein Text verfügbar."), MsgIcon::Error,
                                    MsgButtons::Ok, this);
    }
}

void Tfrm_ImportAssets::PruefenClick() {
    auto refuse = [this](const QString& text) {
        platform::dialogs().message(QStringLiteral("Fehlerhafte Angaben:\r\nFehlernachricht: ") + text, MsgIcon::Error,
                                    MsgButtons::Ok, this);
    };
    if (cbbxFiletype->currentIndex() < 0) {
        cbbxFiletype->setFocus();
        return refuse(QStringLiteral("Es ist kein gültiger Dateityp ausgewählt."));
    }
    edFileName->setText(edFileName->text().trimmed());
    if (edFileName->text().isEmpty())
        return refuse(QStringLiteral("Es ist kein gültiger Dateiname angegeben."));
    if (!QFileInfo(edFileName->text()).isFile())
        return refuse(QStringLiteral("Die angegebene Datei existiert nicht bzw. wurde nicht gefunden.\r\nBitte pruefen "
                                     "Sie nochmals den Dateinamen."));
    edKategorieNr->setText(edKategorieNr->text().trimmed());
    if (const QString why = CheckStandardIndex(edKategorieNr->text()); !why.isEmpty())
        return refuse(why);

    lvImportData->clear();
    lvImportFehler->clear();
    lbDBCount->clear();
    const ImportLayout layout = cbbxFiletype->currentIndex() == 0   ? ImportLayout::Excel
                                : cbbxFiletype->currentIndex() == 1 ? ImportLayout::Text
                                                                    : ImportLayout::Datev2021;
    ImportOptions o;
    o.groups = cbxImportGruppe->isChecked();
    o.extras = cbxImportZusatz->isChecked();
    o.indexFromFile = cbxImportKategorie->isChecked();
    edStatus->show();
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ImportResult r = ReadImportFile(iClientID, edFileName->text(), layout, o, [this](const QString& status) {
        edStatus->setText(status);
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    edStatus->hide();
    if (layout != ImportLayout::Text)
        bSave = false;
    iDBError = r.failed;
    lastRead_ = r;
    QString summary = r.summaryText();
    if (!r.sheetName.isEmpty())
        summary += QStringLiteral(" (Tabellenblatt \"%1\")").arg(r.sheetName);
    if (!r.skipped.isEmpty())
        summary += QStringLiteral(", übersprungen: %1").arg(r.skipped.size());
    lbImportSumme->setText(summary);
    lbImportSumme->setToolTip(r.notices.join(QLatin1Char('\n')));
    QList<QTreeWidgetItem*> failures;
    for (const ImportFailure& f : r.failures)
        failures.append(
            new QTreeWidgetItem({f.line > 0 ? QString::number(f.line) : QString(), f.reason, f.konto, f.description}));
    // Every other non-empty row of the file, with the reason it is no asset: nothing of the file goes unaccounted.
    for (const ImportFailure& f : r.skipped) {
        auto* item = new QTreeWidgetItem(
            {QString::number(f.line), QStringLiteral("Übersprungen: ") + f.reason, f.konto, f.description});
        item->setForeground(1, palette().brush(QPalette::Disabled, QPalette::Text));
        failures.append(item);
    }
    for (const QString& n : r.notices)
        failures.append(new QTreeWidgetItem({QString(), n}));
    lvImportFehler->addTopLevelItems(failures);
    QList<QTreeWidgetItem*> items;
    items.reserve(r.preview.size());
    for (const QStringList& row : r.preview)
        items.append(new QTreeWidgetItem(row));
    lvImportData->addTopLevelItems(items);
    lbListviewSum->setText(r.countText());
    if (r.records > 0 && !r.longDescriptions.isEmpty()) {
        TFrmImportInfo info(this);
        info.setLines(r.longDescriptions);
        platform::execModal(info);
    }
    showMessages(r.messages, this);
}

void Tfrm_ImportAssets::UebernehmenClick() {
    // The index may have been changed after the preview: new assets must never get a category that does not exist.
    edKategorieNr->setText(edKategorieNr->text().trimmed());
    if (const QString why = CheckStandardIndex(edKategorieNr->text()); !why.isEmpty()) {
        platform::dialogs().message(QStringLiteral("Fehlerhafte Angaben:\r\nFehlernachricht: ") + why, MsgIcon::Error,
                                    MsgButtons::Ok, this);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto confirm = [this](const TakeoverPlan& plan) {
        lbDBCount->setText(plan.text());
        QApplication::restoreOverrideCursor();
        const bool yes = platform::dialogs().message(plan.question(), MsgIcon::Question, MsgButtons::YesNo, this) ==
                         platform::MsgResult::Yes;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        return yes;
    };
    const TakeoverResult t =
        TakeOverStaged(iClientID, edKategorieNr->text().toInt(), &lastRead_, confirm, [this](int n) {
            if (n % 200 == 0) {
                lbDBCount->setText(QStringLiteral("Akt. Status: %1").arg(n));
                QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            }
        });
    QApplication::restoreOverrideCursor();
    if (!t.aborted && !t.refused)
        lbDBCount->setText(QStringLiteral("%1 neu, %2 bestätigt, %3 als Abgang markiert, %4 reaktiviert")
                               .arg(t.added)
                               .arg(t.confirmed)
                               .arg(t.disposed)
                               .arg(t.reactivated));
    showMessages(t.messages, this);
    if (t.refused || t.aborted)
        return; // nothing was taken over, so there is nothing to archive
    const ArchiveResult a = ArchiveImportFile(iClientID, edFileName->text(), sBAKFLD, sUSE_BACKUP_FOLDER_DB);
    if (a.copied && t.journalNr > 0) {
        try {
            JournalSetArchive(iClientID, t.journalNr, a.target);
        } catch (const Exception&) {
            // The journal names the file taken over in any case; the archive copy is found by its time stamp.
        }
    }
    LoadTakeovers();
    showMessages({a.message}, this);
}

TFrmImportInfo::TFrmImportInfo(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FrmImportInfo"));
    setWindowTitle(QStringLiteral("Information Import"));
    resize(640, 400);
    auto* top = new QVBoxLayout(this);
    auto* text =
        new QLabel(QStringLiteral("Die Bezeichnung der folgenden Datensätze sind zu lang und werden beim Import "
                                  "automatisch auf 100 Zeichen gekürzt: "));
    text->setWordWrap(true);
    top->addWidget(text);
    memInfo_ = new QPlainTextEdit;
    memInfo_->setObjectName(QStringLiteral("memInfo"));
    memInfo_->setReadOnly(true);
    memInfo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    top->addWidget(memInfo_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("btnOK"));
    auto* save = new QPushButton(QStringLiteral("Speichern"));
    save->setObjectName(QStringLiteral("btnSpeichern"));
    save->setAutoDefault(false);
    buttons->addWidget(ok);
    buttons->addWidget(save);
    top->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(save, &QPushButton::clicked, this, &TFrmImportInfo::SaveClick);
}

void TFrmImportInfo::setLines(const QStringList& lines) {
    memInfo_->setPlainText(lines.join(QLatin1Char('\n')));
}

void TFrmImportInfo::SaveClick() {
    const QString proposal = fileName + ShortDateText(DateToTDateTime(QDate::currentDate())) + QStringLiteral(".txt");
    const QString path = platform::dialogs().saveFile(QStringLiteral("Information speichern"), proposal,
                                                      QStringLiteral("Textdateien (*.txt)"), this);
    if (path.isEmpty())
        return;
    QStringEncoder cp1252("windows-1252");
    const QByteArray bytes = cp1252.encode(memInfo_->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")) +
                                           QStringLiteral("\r\n"));
    if (const QString why = platform::WriteFileAtomically(path, bytes); !why.isEmpty())
        platform::dialogs().message(QStringLiteral("Fehler beim Speichern der Informationen: ") + why, MsgIcon::Error,
                                    MsgButtons::Ok, this);
}
