#include "reports/frm_reports.h"

#include "reports/report_page_view.h"
#include "reports/report_run.h"
#include "reports/report_workbook.h"

#include "session/client_workspace.h"
#include "building/frm_gebchoice.h"
#include "platform/ui_common.h"
#include "building/gebbericht.h"
#include "db/brenvik_types.h"
#include "db/indexwerte.h"
#include "platform/qt_dialogs.h"
#include "platform/paths.h"
#include "platform/shell.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

using platform::MsgButtons;
using platform::MsgIcon;

// ---- Output options ----

Tfrm_RaveCustomSetup::Tfrm_RaveCustomSetup(int pageCount, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_RaveCustomSetup"));
    setWindowTitle(QStringLiteral("Ausgabeoptionen"));
    auto* top = new QVBoxLayout(this);
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    hasPrinter_ = !printer.isNull();
    auto* grpPrinter = new QGroupBox(QStringLiteral("ausgewählter Drucker"));
    auto* pl = new QHBoxLayout(grpPrinter);
    lblPrinter = new QLabel(hasPrinter_ ? printer.printerName() : QStringLiteral("No printers installed!"));
    lblPrinter->setObjectName(QStringLiteral("lblPrinter"));
    pl->addWidget(lblPrinter, 1);
    btnProperties = UiButton(QStringLiteral("Eigenschaften"), "btnProperties");
    btnProperties->setEnabled(hasPrinter_);
    btnProperties->setMinimumWidth(btnProperties->sizeHint().width());
    pl->addWidget(btnProperties);
    top->addWidget(grpPrinter);
    // The printer's own settings; the name is shown again afterwards.
    printer_ = hasPrinter_ ? std::make_unique<QPrinter>(printer, QPrinter::HighResolution)
                           : std::make_unique<QPrinter>(QPrinter::HighResolution);
    connect(btnProperties, &QPushButton::clicked, this, [this] {
        QPrintDialog d(printer_.get(), this);
        d.setOption(QAbstractPrintDialog::PrintToFile, false);
        d.setOption(QAbstractPrintDialog::PrintPageRange, false);
        printer_->setCopyCount(copies());
        printer_->setCollateCopies(cbxCollate->isChecked());
        if (platform::execModal(d) != QDialog::Accepted)
            return;
        lblPrinter->setText(printer_->printerName());
        edCopies->setText(QString::number(printer_->copyCount()));
        cbxCollate->setChecked(printer_->collateCopies());
        cbxDuplex->setChecked(printer_->duplex() != QPrinter::DuplexNone);
    });

    const QRegularExpression digits(QStringLiteral("\\d*"));
    auto* grpOptions = new QGroupBox(QStringLiteral("Optionen"));
    auto* ol = new QFormLayout(grpOptions);
    edCopies = UiLineEdit("edCopies");
    edCopies->setValidator(new QRegularExpressionValidator(digits, edCopies));
    edCopies->setText(QStringLiteral("1"));
    cbxCollate = new QCheckBox(QStringLiteral("Sortieren"));
    cbxCollate->setObjectName(QStringLiteral("cbxCollate"));
    cbxDuplex = new QCheckBox(QStringLiteral("Duplex"));
    cbxDuplex->setObjectName(QStringLiteral("cbxDuplex"));
    ol->addRow(QStringLiteral("&Kopien"), edCopies);
    ol->addRow(cbxCollate);
    ol->addRow(cbxDuplex);
    top->addWidget(grpOptions);

    auto* grpDest = new QGroupBox(QStringLiteral("Ausgabe des Ausdrucks"));
    auto* dl = new QVBoxLayout(grpDest);
    rbPrinter = new QRadioButton(QStringLiteral("&Drucker"));
    rbPrinter->setObjectName(QStringLiteral("rbPrinter"));
    rbPreview = new QRadioButton(QStringLiteral("&Vorschau"));
    rbPreview->setObjectName(QStringLiteral("rbPreview"));
    dl->addWidget(rbPrinter);
    dl->addWidget(rbPreview);
    top->addWidget(grpDest);

    auto* grpRange = new QGroupBox(QStringLiteral("Druckbereich"));
    auto* rl = new QFormLayout(grpRange);
    rbAll = new QRadioButton(QStringLiteral("alles"));
    rbAll->setObjectName(QStringLiteral("rbAll"));
    rbSelection = new QRadioButton(QStringLiteral("Selektion"));
    rbSelection->setObjectName(QStringLiteral("rbSelection"));
    rbPages = new QRadioButton(QStringLiteral("Seiten"));
    rbPages->setObjectName(QStringLiteral("rbPages"));
    edSelection = UiLineEdit("edSelection");
    edSelection->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9,-]*")), edSelection));
    edFrom = UiLineEdit("edFrom");
    edFrom->setValidator(new QRegularExpressionValidator(digits, edFrom));
    edTo = UiLineEdit("edTo");
    edTo->setValidator(new QRegularExpressionValidator(digits, edTo));
    rl->addRow(rbAll);
    rl->addRow(rbSelection, edSelection);
    rl->addRow(rbPages);
    rl->addRow(QStringLiteral("von"), edFrom);
    rl->addRow(QStringLiteral("bis"), edTo);
    top->addWidget(grpRange);

    top->addLayout(UiOkCancelRow(btnOK, btnCancel, QStringLiteral("Abbruch")));
    btnOK->setDefault(true);

    const bool fromPreview = pageCount > 0;
    grpDest->setVisible(!fromPreview);
    grpRange->setVisible(fromPreview);
    rbPrinter->setEnabled(hasPrinter_);
    // The preview first: Enter must not send a whole report to the printer.
    rbPreview->setChecked(true);
    for (QWidget* w : std::initializer_list<QWidget*>{edCopies, cbxCollate, cbxDuplex})
        w->setEnabled(hasPrinter_);
    edFrom->setText(QStringLiteral("1"));
    edTo->setText(QString::number(pageCount));
    edSelection->setText(QStringLiteral("1-%1").arg(pageCount));
    rbAll->setChecked(true);
    rangeChanged();
    if (!fromPreview)
        destinationChanged();
    connect(rbPrinter, &QRadioButton::toggled, this, &Tfrm_RaveCustomSetup::destinationChanged);
    for (QRadioButton* r : {rbAll, rbSelection, rbPages})
        connect(r, &QRadioButton::toggled, this, &Tfrm_RaveCustomSetup::rangeChanged);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Tfrm_RaveCustomSetup::destinationChanged() {
    const bool printer = rbPrinter->isChecked() && hasPrinter_;
    for (QWidget* w : std::initializer_list<QWidget*>{edCopies, cbxCollate, cbxDuplex})
        w->setEnabled(printer);
}

void Tfrm_RaveCustomSetup::rangeChanged() {
    edSelection->setVisible(rbSelection->isChecked());
    edFrom->setVisible(rbPages->isChecked());
    edTo->setVisible(rbPages->isChecked());
    edFrom->setEnabled(!rbAll->isChecked());
    edTo->setEnabled(!rbAll->isChecked());
}

bool Tfrm_RaveCustomSetup::toPrinter() const {
    return rbPrinter->isChecked() && hasPrinter_;
}
int Tfrm_RaveCustomSetup::copies() const {
    return std::max(1, edCopies->text().toInt());
}

int Tfrm_RaveCustomSetup::firstPage() const {
    if (rbPages->isChecked())
        return edFrom->text().toInt();
    if (rbSelection->isChecked())
        return edSelection->text().section(QLatin1Char('-'), 0, 0).toInt();
    return 1;
}

int Tfrm_RaveCustomSetup::lastPage() const {
    if (rbPages->isChecked())
        return edTo->text().toInt();
    if (rbSelection->isChecked()) {
        const QString to = edSelection->text().section(QLatin1Char('-'), 1, 1);
        return to.isEmpty() ? 9999 : to.toInt();
    }
    return 9999;
}

QPrinter& Tfrm_RaveCustomSetup::printer() {
    printer_->setCopyCount(copies());
    printer_->setCollateCopies(cbxCollate->isChecked());
    printer_->setDuplex(cbxDuplex->isChecked() ? QPrinter::DuplexAuto : QPrinter::DuplexNone);
    return *printer_;
}

QPageRanges Tfrm_RaveCustomSetup::pageRanges(int pageCount) const {
    if (rbSelection->isChecked())
        return ParsePageSelection(edSelection->text(), pageCount);
    QPageRanges r;
    const int from = std::max(1, firstPage()), to = std::min(lastPage(), pageCount);
    if (from <= to)
        r.addRange(from, to);
    return r;
}

// ---- Preview ----

Tfrm_RaveCustomPreview::Tfrm_RaveCustomPreview(ReportOutput* report, QWidget* parent, const QString& caption)
    : QDialog(parent), report_(report), printer_(new QPrinter(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("frm_RaveCustomPreview"));
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Vorschau") : QStringLiteral("Vorschau - ") + caption);
    UiFitToScreen(this, QSize(1000, 760));
    auto* top = new QVBoxLayout(this);
    auto* bar = new QToolBar;
    top->addWidget(bar);
    preview = new ReportPageView(report_, printer_);
    preview->setObjectName(QStringLiteral("preview"));
    connect(preview, &ReportPageView::currentPageChanged, this, [this] { showState(); });
    top->addWidget(preview, 1);
    bar->addAction(QStringLiteral("Drucken"), this, &Tfrm_RaveCustomPreview::printClick);
    bar->addSeparator();
    bar->addAction(QStringLiteral("|<"), this, [this] { goToPage(1); });
    bar->addAction(QStringLiteral("<"), this, [this] {
        if (currentPage() > 1)
            goToPage(currentPage() - 1);
    });
    bar->addAction(QStringLiteral(">"), this, [this] {
        if (currentPage() < pageCount())
            goToPage(currentPage() + 1);
    });
    bar->addAction(QStringLiteral(">|"), this, [this] { goToPage(pageCount()); });
    bar->addWidget(new QLabel(QStringLiteral("  Seite  ")));
    edPage = UiLineEdit("edPage");
    edPage->setMaxLength(6);
    edPage->setFixedWidth(64);
    edPage->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), edPage));
    edPage->setText(QStringLiteral("1"));
    bar->addWidget(edPage);
    lblPages = new QLabel;
    lblPages->setObjectName(QStringLiteral("lblPages"));
    bar->addWidget(lblPages);
    bar->addAction(QStringLiteral("+"), this, [this] {
        preview->zoomIn();
        showState();
    });
    bar->addAction(QStringLiteral("-"), this, [this] {
        preview->zoomOut();
        showState();
    });
    bar->addAction(QStringLiteral("Ganze Seite"), this, [this] {
        preview->fitInView();
        showState();
    });
    bar->addAction(QStringLiteral("Seitenbreite"), this, [this] {
        preview->fitToWidth();
        showState();
    });
    bar->addWidget(new QLabel(QStringLiteral("  Zoom ")));
    edZoom = UiLineEdit("edZoom");
    edZoom->setMaxLength(3);
    edZoom->setFixedWidth(48);
    edZoom->setText(QStringLiteral("100"));
    bar->addWidget(edZoom);
    bar->addWidget(new QLabel(QStringLiteral(" %")));
    bar->addSeparator();
    bar->addAction(QStringLiteral("Beenden"), this, &QDialog::accept);
    connect(edPage, &QLineEdit::editingFinished, this, &Tfrm_RaveCustomPreview::pageEditDone);
    connect(edZoom, &QLineEdit::editingFinished, this, &Tfrm_RaveCustomPreview::zoomEditDone);
    lblPages->setText(QStringLiteral("  von %1 ").arg(pageCount()));
    showState();
}

Tfrm_RaveCustomPreview::~Tfrm_RaveCustomPreview() {
    delete preview; // before the printer it paints on
    delete printer_;
}

int Tfrm_RaveCustomPreview::pageCount() const {
    return preview->pageCount();
}
int Tfrm_RaveCustomPreview::currentPage() const {
    return preview->currentPage();
}

void Tfrm_RaveCustomPreview::goToPage(int page) {
    preview->setCurrentPage(page);
    showState();
}

void Tfrm_RaveCustomPreview::showState() {
    edPage->setText(QString::number(currentPage()));
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    edZoom->setText(QString::number(qRound(preview->zoomFactor() * 100)));
}

void Tfrm_RaveCustomPreview::pageEditDone() {
    bool ok = false;
    const int page = edPage->text().toInt(&ok);
    if (ok)
        goToPage(page);
    edPage->selectAll();
}

void Tfrm_RaveCustomPreview::zoomEditDone() {
    bool ok = false;
    const int zoom = edZoom->text().toInt(&ok); // a whole percentage; "12,5" is no zoom
    if (ok && zoom > 0)
        preview->setZoomFactor(zoom / 100.0);
    showState();
}

void Tfrm_RaveCustomPreview::printClick() {
    Tfrm_RaveCustomSetup setup(pageCount(), this);
    if (platform::execModal(setup) != QDialog::Accepted || !setup.toPrinter())
        return;
    QPrinter& printer = setup.printer();
    printer.setPageLayout(printer_->pageLayout());
    const QPageRanges pages = setup.pageRanges(pageCount());
    if (pages.isEmpty()) {
        platform::dialogs().message(
            QStringLiteral("Die Seitenauswahl nennt keine Seite des Berichtes (1 bis %1).").arg(pageCount()),
            MsgIcon::Warning, MsgButtons::Ok, this);
        return;
    }
    printer.setPageRanges(pages);
    report_->print(&printer);
}

// ---- Report window ----

Tfrm_Reports::Tfrm_Reports(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_Reports"));
    setWindowTitle(QStringLiteral("Berichtsmanagement"));
    resize(620, 560);
    auto* top = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Berichte"));
    QFont f = heading->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 4);
    heading->setFont(f);
    top->addWidget(heading);
    auto* client = new QHBoxLayout;
    client->addWidget(new QLabel(QStringLiteral("Ausgewählter Mandant:")));
    lbMandant = new QLabel;
    lbMandant->setObjectName(QStringLiteral("lbMandant"));
    client->addWidget(lbMandant, 1);
    top->addLayout(client);
    top->addWidget(new QLabel(QStringLiteral("Berichte")));
    lvReports = UiListView("lvReports", {QStringLiteral("Berichtsname")});
    lvReports->setHeaderHidden(true);
    lvReports->setSortingEnabled(true);
    lvReports->sortByColumn(0, Qt::AscendingOrder);
    top->addWidget(lvReports, 1);
    cbxPDF = new QCheckBox(QStringLiteral("Bericht als PDF generieren"));
    cbxPDF->setObjectName(QStringLiteral("cbxPDF"));
    cbxOpen = new QCheckBox(QStringLiteral("Dokument nach Erstellung öffnen"));
    cbxOpen->setObjectName(QStringLiteral("cbxOpen"));
    cbxOpen->setChecked(true);
    cbxImages = new QCheckBox(QStringLiteral("Bildanlage erstellen"));
    cbxImages->setObjectName(QStringLiteral("cbxImages"));
    cbxXLSX = new QCheckBox(QStringLiteral("Tabelle zusätzlich als Excel-Arbeitsmappe speichern"));
    cbxXLSX->setObjectName(QStringLiteral("cbxXLSX"));
    for (QCheckBox* c : {cbxPDF, cbxOpen, cbxImages, cbxXLSX})
        top->addWidget(c);
    auto* buttons = new QHBoxLayout;
    btnStart = UiButton(QStringLiteral("Bericht starten/ drucken"), "btnStart");
    btnClose = UiButton(QStringLiteral("Beenden"), "btnClose");
    buttons->addWidget(btnStart);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    top->addLayout(buttons);
    connect(btnStart, &QPushButton::clicked, this, &Tfrm_Reports::btnStartClick);
    connect(lvReports, &QTreeWidget::itemDoubleClicked, this, &Tfrm_Reports::btnStartClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

void Tfrm_Reports::InitializeReportEnv(const QString& sAppPath, const QString& sDataPath) {
    sPath = platform::withTrailingSeparator(sAppPath);
    sDatPath = platform::withTrailingSeparator(sDataPath);
    projectFile = ReportProjectPath();
    parameters[QStringLiteral("pFootnoteVersion")] =
        QStringLiteral("Erstellt mit Brenvik Versicherungswertermittlung, Version %1").arg(ProgramVersion());
}

void Tfrm_Reports::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_Reports::FormShow() {
    lbMandant->setText(sClientName);
    lvReports->clear();
    reports_.clear();
    try {
        const ReportProject project = LoadReportProject(projectFile);
        for (const ReportLayout& r : project.reports) {
            if (!IsReportListed(r.name))
                continue;
            auto* item = new QTreeWidgetItem({r.caption});
            item->setData(0, Qt::UserRole, r.name);
            lvReports->addTopLevelItem(item);
        }
    } catch (const Exception& e) {
        platform::dialogs().message(QStringLiteral("Fehler bei der Ausführung des Berichtes. \r\nSystemmeldung: ") +
                                        e.message(),
                                    MsgIcon::Error, MsgButtons::Ok, this);
    }
}

void Tfrm_Reports::btnStartClick() {
    QTreeWidgetItem* item = lvReports->currentItem();
    if (!item || !item->isSelected())
        return;
    RunReport(item->data(0, Qt::UserRole).toString(), item->text(0));
}

QString Tfrm_Reports::GetMandantImageFolder() {
    try {
        QString flag;
        try {
            flag = workspace::UseBackupFolderDbFlag();
        } catch (const Exception& e) {
            platform::dialogs().message(QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\n"
                                                       "Systemnachricht: ") +
                                            e.message(),
                                        MsgIcon::None, MsgButtons::Ok, this);
        }
        QString f = workspace::ClientStorageFolder(iClientID, flag);
        if (!f.isEmpty() && QDir(f).exists())
            return f;
        platform::dialogs().message(QStringLiteral("Fehler beim Laden der Bilddatei: Verzeichnis \"") + f +
                                        QStringLiteral("\" existiert nicht."),
                                    MsgIcon::None, MsgButtons::Ok, this);
    } catch (const Exception& e) {
        platform::dialogs().message(QStringLiteral("GetMandantImageFolder - Fehler beim Laden der Bilddatei: ") +
                                        e.message(),
                                    MsgIcon::None, MsgButtons::Ok, this);
    }
    return {};
}

bool Tfrm_Reports::output(ReportOutput& report, const QString& fileCaption, const QString& title) {
    if (cbxPDF->isChecked()) {
        QString file = platform::dialogs().saveFile(title, fileCaption + QStringLiteral(".pdf"),
                                                    QStringLiteral("Adobe Acrobat (PDF) (*.pdf)"), this);
        if (file.isEmpty())
            return false;
        if (QFileInfo(file).suffix().isEmpty())
            file += QStringLiteral(".pdf");
        WriteReportPdf(report, file);
        if (cbxOpen->isChecked())
            platform::shellOpen(file);
        return true;
    }
    Tfrm_RaveCustomSetup setup(0, this);
    if (platform::execModal(setup) != QDialog::Accepted)
        return false;
    if (setup.toPrinter()) {
        report.print(&setup.printer());
        return true;
    }
    Tfrm_RaveCustomPreview preview(&report, this, fileCaption);
    platform::execModal(preview);
    return true;
}

void Tfrm_Reports::RunReport(const QString& name, const QString& caption) {
    try {
        ReportJob job;
        job.clientNr = iClientID;
        job.clientName = sClientName;
        job.indexYear = GetMaxIndexjahr();
        job.logoFolder = sDatPath;
        job.parameters = parameters;
        job.keepRows = cbxXLSX->isChecked();
        PreparedReport prepared = PrepareReport(LoadReportProject(projectFile), name, job);
        std::unique_ptr<ReportOutput> building;
        if (prepared.statements.buildingReport) {
            TFrmGebChoice choice(this);
            choice.Initialize(QString::number(iClientID));
            if (platform::execModal(choice) != QDialog::Accepted)
                return;
            const TGebBerichtSQL sql(iClientID, choice.GetSelectedGebAusf(), choice.GetSelectedGebArt(),
                                     choice.GetSelectedObjektPID(), choice.GetSelectedGebPID());
            building = PrepareBuildingSheet(prepared, sql);
        }
        ReportOutput& report = building ? *building : static_cast<ReportOutput&>(*prepared.table);
        if (!output(report, ReportFileName(caption), QStringLiteral("Bericht speichern")))
            return;
        if (cbxXLSX->isChecked() && prepared.table) {
            QString file = platform::dialogs().saveFile(QStringLiteral("Arbeitsmappe speichern"),
                                                        ReportFileName(caption) + QStringLiteral(".xlsx"),
                                                        QStringLiteral("Excel-Arbeitsmappe (*.xlsx)"), this);
            if (!file.isEmpty()) {
                if (QFileInfo(file).suffix().isEmpty())
                    file += QStringLiteral(".xlsx");
                WriteReportWorkbook(*prepared.table, prepared.rows, file);
                if (cbxOpen->isChecked())
                    platform::shellOpen(file);
            }
        }
        if (!cbxImages->isChecked() || prepared.statements.pictures.isEmpty())
            return;
        const std::unique_ptr<DocumentReportOutput> images =
            PreparePictureAttachment(prepared, job, GetMandantImageFolder(),
                                     (cbxPDF->isChecked() ? sPath : sDatPath) + QStringLiteral("Logo.bmp"));
        if (images)
            output(*images, ReportFileName(caption) + QStringLiteral("_Bilder"),
                   QStringLiteral("Speichern Bildanlage"));
    } catch (const Exception& e) {
        platform::dialogs().message(QStringLiteral("Fehler bei der Ausführung des Berichtes. \r\nSystemmeldung: ") +
                                        e.message(),
                                    MsgIcon::Error, MsgButtons::Ok, this);
    }
}
