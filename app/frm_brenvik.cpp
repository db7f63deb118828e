#include "app/frm_brenvik.h"

#include "session/brenvik_ini.h"
#include "migration/frm_datenmigration.h"
#include "app/frm_editaddress.h"
#include "building/frm_gebobjekt.h"
#include "reports/frm_reports.h"
#include "building/gebdata.h"
#include "app/frm_editmeasures.h"
#include "app/frm_select_branch.h"
#include "import/frm_importassets.h"
#include "assets/frm_indexupdate.h"
#include "app/frm_settings.h"
#include "assets/frm_verswerte.h"
#include "platform/ui_common.h"
#include "assets/inventory.h"
#include "db/backup.h"
#include "db/brenvik_config.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "db/schema.h"
#include "platform/clipboard.h"
#include "platform/qt_dialogs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/shell.h"

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;
using workspace::ClientFunction;

namespace {
const QString kRootText = QStringLiteral("Anwendungen");
const QString kClientsText = QStringLiteral("Mandanten");

void say(const QString& text, MsgIcon icon, QWidget* parent) {
    platform::dialogs().message(text, icon, MsgButtons::Ok, parent);
}

QLineEdit* lineEdit(const char* name) {
    return UiLineEdit(name);
}
QPushButton* button(const QString& caption, const char* name) {
    return UiButton(caption, name);
}
QTreeWidget* listView(const char* name, const QStringList& headers) {
    return UiListView(name, headers);
}
} // namespace

QString TfrmBrenvik::productVersion() {
    return ProgramVersion();
}
QString TfrmBrenvik::webAddress() {
    return QStringLiteral("https://www.brenvik.de");
}

TfrmBrenvik::TfrmBrenvik(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmBrenvik"));
    setWindowTitle(QStringLiteral("Brenvik - Lösungen für die Assekuranz"));
    buildUi();
    buildMenu();
    buildPopup();
    // Between two operations the seat holds no transaction: an open one would keep every other seat's old record
    // versions from being collected for as long as the window sits idle.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (gBrvTrans == &IBBrvTrans)
                BrvEndIdleTransaction();
        });
}

TfrmBrenvik::~TfrmBrenvik() {
    // A field that loses the focus while the window goes away must not call back into it.
    edBetriebsart->disconnect(this);
    SetBrvLogSink({});
    if (gBrvDB == &IBBrvDB)
        SetBrvConnection(nullptr, nullptr);
}

void TfrmBrenvik::buildUi() {
    tvBrenvik = new QTreeWidget;
    tvBrenvik->setObjectName(QStringLiteral("tvBrenvik"));
    tvBrenvik->setHeaderHidden(true);
    tvBrenvik->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvBrenvik->setMinimumWidth(120);
    tvBrenvik->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvBrenvik, &QTreeWidget::itemClicked, this, [this] { TreeClick(); });
    connect(tvBrenvik, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        // A right click selects the node under the mouse before the menu is prepared.
        tvBrenvik->setCurrentItem(tvBrenvik->itemAt(pos));
        PreparePopup();
        bool any = false;
        for (QAction* a : pmnuClientFunc->actions())
            any = any || (a->isVisible() && !a->isSeparator());
        if (any)
            pmnuClientFunc->exec(tvBrenvik->viewport()->mapToGlobal(pos));
    });

    pnlMain = new QWidget;
    pnlMain->setObjectName(QStringLiteral("pnlMain"));
    pnlMain->setAutoFillBackground(true);
    {
        QPalette pal = pnlMain->palette();
        pal.setColor(QPalette::Window, Qt::white);
        pnlMain->setPalette(pal);
        auto* l = new QVBoxLayout(pnlMain);
        auto* logo = new QLabel(QStringLiteral("<h1>Brenvik</h1><p>Lösungen für die Assekuranz</p>"));
        logo->setObjectName(QStringLiteral("imgLogo"));
        logo->setAlignment(Qt::AlignCenter);
        l->addWidget(logo);
    }

    pnlMandant = new QWidget;
    pnlMandant->setObjectName(QStringLiteral("pnlMandant"));
    {
        auto* l = new QVBoxLayout(pnlMandant);
        auto* header = new QLabel(kClientsText);
        header->setObjectName(QStringLiteral("lbMandantenHeader"));
        QFont f = header->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.3);
        header->setFont(f);
        l->addWidget(header);
        PageControl1 = new QTabWidget;
        PageControl1->setObjectName(QStringLiteral("PageControl1"));
        PageControl1->addTab(buildKundendaten(), QStringLiteral("Kundendaten"));
        PageControl1->addTab(buildGebaeude(), QStringLiteral("Gebäude"));
        PageControl1->addTab(buildInventar(), QStringLiteral("Inventar"));
        connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
            if (index == 2)
                InventarShow();
        });
        l->addWidget(PageControl1);
    }

    panels_ = new QStackedWidget;
    panels_->setObjectName(QStringLiteral("pnlRight"));
    panels_->addWidget(pnlMain);
    panels_->addWidget(pnlMandant);
    panels_->setCurrentWidget(pnlMain);

    auto* hsplit = new QSplitter(Qt::Horizontal);
    hsplit->setObjectName(QStringLiteral("splitterTree"));
    hsplit->addWidget(tvBrenvik);
    hsplit->addWidget(panels_);
    hsplit->setStretchFactor(1, 1);
    hsplit->setSizes({193, 792});

    redLog = new QPlainTextEdit;
    redLog->setObjectName(QStringLiteral("redLog"));
    redLog->setReadOnly(true);
    redLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    redLog->setMinimumHeight(30);

    auto* vsplit = new QSplitter(Qt::Vertical);
    vsplit->setObjectName(QStringLiteral("splitterLog"));
    vsplit->addWidget(hsplit);
    vsplit->addWidget(redLog);
    vsplit->setStretchFactor(0, 1);
    vsplit->setSizes({690, 49});
    setCentralWidget(vsplit);

    auto* sb = new QStatusBar;
    sb->setObjectName(QStringLiteral("stbBrenvik"));
    statusPanel_ = new QLabel;
    statusPanel_->setObjectName(QStringLiteral("stbBrenvikPanel0"));
    statusPanel_->setMinimumWidth(150);
    sb->addWidget(statusPanel_);
    setStatusBar(sb);

    resize(985, 760);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QWidget* TfrmBrenvik::buildKundendaten() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsKundendaten"));
    auto* grid = new QGridLayout(page);

    auto* master = new QFormLayout;
    edMandant_nr = lineEdit("edMandant_nr");
    edMandant_nr->setEnabled(false);
    edMandant_nr->setReadOnly(true);
    edMandant_nr->setMaximumWidth(120);
    master->addRow(QStringLiteral("Mandantennummer:"), edMandant_nr);
    edFirma = lineEdit("edFirma");
    master->addRow(QStringLiteral("Firma/ Mandantenname:"), edFirma);
    edName1 = lineEdit("edName1");
    master->addRow(QStringLiteral("Namenszusatz 1:"), edName1);
    edName2 = lineEdit("edName2");
    master->addRow(QStringLiteral("Namenzusatz 2:"), edName2);
    auto* branchRow = new QHBoxLayout;
    edBetriebsart = lineEdit("edBetriebsart");
    edBetriebsart->setMaximumWidth(94);
    branchRow->addWidget(edBetriebsart);
    auto* btnBetriebsart = button(QStringLiteral("..."), "btnBetriebsart");
    btnBetriebsart->setMaximumWidth(32);
    btnBetriebsart->setToolTip(QStringLiteral("Auswahl der Betriebsart"));
    branchRow->addWidget(btnBetriebsart);
    lbBetriebsart_bez = new QLabel;
    lbBetriebsart_bez->setObjectName(QStringLiteral("lbBetriebsart_bez"));
    branchRow->addWidget(lbBetriebsart_bez, 1);
    master->addRow(QStringLiteral("Betriebsart:"), branchRow);
    grid->addLayout(master, 0, 0, 1, 2);

    auto listWithButtons = [&](const QString& caption, QTreeWidget* list, const char* prefix, int row) {
        grid->addWidget(new QLabel(caption), row, 0, 1, 2);
        grid->addWidget(list, row + 1, 0);
        auto* col = new QVBoxLayout;
        const QString p = QString::fromLatin1(prefix);
        QPushButton* b[3] = {button(QStringLiteral("Hinzufügen"), nullptr),
                             button(QStringLiteral("Bearbeiten"), nullptr), button(QStringLiteral("Löschen"), nullptr)};
        b[0]->setObjectName(QStringLiteral("btn") + p + QStringLiteral("Hinzufuegen"));
        b[1]->setObjectName(QStringLiteral("btn") + p + QStringLiteral("Bearbeiten"));
        b[2]->setObjectName(QStringLiteral("btn") + p + QStringLiteral("Loeschen"));
        for (QPushButton* x : b)
            col->addWidget(x);
        col->addStretch(1);
        grid->addLayout(col, row + 1, 1);
        return std::array<QPushButton*, 3>{b[0], b[1], b[2]};
    };
    lvAdressen = listView("lvAdressen", {QStringLiteral("AdressNr"), QStringLiteral("Adressbezeichnung"),
                                         QStringLiteral("Strasse"), QStringLiteral("PLZ"), QStringLiteral("Ort")});
    lvAdressen->headerItem()->setTextAlignment(0, Qt::AlignRight);
    const auto addrButtons = listWithButtons(QStringLiteral("Adressen:"), lvAdressen, "Adresse", 1);
    lvKennzahlen = listView("lvKennzahlen", {QStringLiteral("Jahr"), QStringLiteral("Fert.-Erz. Bilanz"),
                                             QStringLiteral("Unfert.-Erz. Bilanz"),
                                             QStringLiteral("Lager-Betr.Stoffe Bil."), QStringLiteral("Fert.-Erz.Max"),
                                             QStringLiteral("Unfert.-Erz.Max"), QStringLiteral("Lager-Betr.Stoffe Max"),
                                             QStringLiteral("Vorsorgesumme"), QStringLiteral("Endwertgrenze")});
    for (int c = 1; c < 9; ++c)
        lvKennzahlen->headerItem()->setTextAlignment(c, Qt::AlignRight);
    const auto measureButtons = listWithButtons(QStringLiteral("Kennzahlen:"), lvKennzahlen, "Kennzahlen", 3);

    cbxMwst_Pflicht = new QCheckBox(QStringLiteral("Zum Vorsteuerabzug nach §4 UStG o.ä. berechtigt"));
    cbxMwst_Pflicht->setObjectName(QStringLiteral("cbxMwst_Pflicht"));
    cbxMwst_Pflicht->setChecked(true);
    grid->addWidget(cbxMwst_Pflicht, 5, 0, 1, 2);

    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(new QLabel(QStringLiteral("Speicherort für Dateien:")));
    edSicherungspfad = lineEdit("edSicherungspfad");
    pathRow->addWidget(edSicherungspfad, 1);
    auto* btnBrowse = button(QStringLiteral("..."), "btnSicherungspfad");
    btnBrowse->setMaximumWidth(32);
    btnBrowse->setToolTip(QStringLiteral("Speicherort festlegen"));
    pathRow->addWidget(btnBrowse);
    auto* btnPropose = button(QStringLiteral("Standardverzeichnis vorschlagen"), "btnStandardverzeichnis");
    pathRow->addWidget(btnPropose);
    grid->addLayout(pathRow, 6, 0, 1, 2);

    auto* functions = new QGroupBox(QStringLiteral("Funktionen"));
    auto* fRow = new QHBoxLayout(functions);
    btnSpeichern = button(QStringLiteral("Speichern"), "btnSpeichern");
    btnZuruecksetzen = button(QStringLiteral("Zurücksetzen"), "btnZuruecksetzen");
    fRow->addWidget(btnSpeichern);
    fRow->addWidget(btnZuruecksetzen);
    fRow->addStretch(1);
    grid->addWidget(functions, 7, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setRowStretch(4, 1);

    connect(btnBetriebsart, &QPushButton::clicked, this, &TfrmBrenvik::LookUpBetriebsart);
    connect(edBetriebsart, &QLineEdit::editingFinished, this, &TfrmBrenvik::ShowBetriebsart);
    for (const auto& bs : {addrButtons, measureButtons})
        for (QPushButton* b : bs)
            clientWriteButtons_ << b;
    connect(addrButtons[0], &QPushButton::clicked, this, &TfrmBrenvik::AddAddress);
    connect(addrButtons[1], &QPushButton::clicked, this, &TfrmBrenvik::EditAddress);
    connect(addrButtons[2], &QPushButton::clicked, this, &TfrmBrenvik::DeleteAddress);
    connect(measureButtons[0], &QPushButton::clicked, this, &TfrmBrenvik::AddMeasures);
    connect(measureButtons[1], &QPushButton::clicked, this, &TfrmBrenvik::EditMeasures);
    connect(measureButtons[2], &QPushButton::clicked, this, &TfrmBrenvik::DeleteMeasures);
    connect(btnBrowse, &QPushButton::clicked, this, &TfrmBrenvik::BrowseStorageFolder);
    connect(btnPropose, &QPushButton::clicked, this, &TfrmBrenvik::ProposeStorageFolder);
    connect(btnSpeichern, &QPushButton::clicked, this, &TfrmBrenvik::SaveMandantClick);
    connect(btnZuruecksetzen, &QPushButton::clicked, this, &TfrmBrenvik::ResetMandantClick);

    // The column widths of MANDANTEN: longer input would only fail at the save.
    edFirma->setMaxLength(200);
    edName1->setMaxLength(200);
    edName2->setMaxLength(200);
    edBetriebsart->setMaxLength(20);
    edSicherungspfad->setMaxLength(500);
    QWidget::setTabOrder(edFirma, edName1);
    QWidget::setTabOrder(edName1, edName2);
    QWidget::setTabOrder(edName2, edBetriebsart);
    QWidget::setTabOrder(edBetriebsart, btnBetriebsart);
    return page;
}

QWidget* TfrmBrenvik::buildGebaeude() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsGebaeude"));
    auto* l = new QVBoxLayout(page);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Vorhandene Anschriften:")));
    cmbAdressen = new QComboBox;
    cmbAdressen->setObjectName(QStringLiteral("cmbAdressen"));
    row->addWidget(cmbAdressen, 1);
    auto* btnAnlegen = button(QStringLiteral("Anlegen"), "btnAnlegen");
    row->addWidget(btnAnlegen);
    l->addLayout(row);
    l->addWidget(new QLabel(QStringLiteral("Bereits angelegt:")));
    lvObjekte = listView("lvObjekte", {QStringLiteral("Angelegte Objekte")});
    l->addWidget(lvObjekte, 1);
    auto* buttons = new QHBoxLayout;
    auto* btnOeffnen = button(QStringLiteral("Öffnen"), "btnOeffnen");
    auto* btnEntfernen = button(QStringLiteral("Entfernen"), "btnEntfernen");
    buttons->addWidget(btnOeffnen);
    buttons->addWidget(btnEntfernen);
    buttons->addStretch(1);
    l->addLayout(buttons);
    clientWriteButtons_ << btnAnlegen << btnEntfernen;
    connect(btnAnlegen, &QPushButton::clicked, this, &TfrmBrenvik::NewObjekt);
    connect(btnOeffnen, &QPushButton::clicked, this, &TfrmBrenvik::OpenSelectedObjekt);
    connect(lvObjekte, &QTreeWidget::itemDoubleClicked, this, &TfrmBrenvik::OpenSelectedObjekt);
    connect(btnEntfernen, &QPushButton::clicked, this, &TfrmBrenvik::DeleteSelectedObjekt);
    return page;
}

QWidget* TfrmBrenvik::buildInventar() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("tsInventar"));
    auto* l = new QVBoxLayout(page);
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
        auto* e = lineEdit(name);
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
    auto* btnNeu = button(QStringLiteral("Werte neu ermitteln"), "btnWerteNeu");
    auto* btnRechnen = button(QStringLiteral("Summen neu berechnen"), "btnSummenNeu");
    auto* btnKopieren = button(QStringLiteral("In die Zwischenablage kopieren"), "btnZwischenablage");
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

    connect(btnNeu, &QPushButton::clicked, this, &TfrmBrenvik::ReloadSumValues);
    connect(btnRechnen, &QPushButton::clicked, this, [this] {
        if (!CalcSumValues())
            ShowApplicationError(QStringLiteral("Fehler in der Berechnung der Summen zu den Versicherungswerten."),
                                 this);
    });
    connect(btnKopieren, &QPushButton::clicked, this, &TfrmBrenvik::ExportInventory);
    connect(cbAdresse, &QComboBox::currentIndexChanged, this, [this] { ReloadSumValues(); });
    // Enter moves through the inputs and computes at the last.
    const QList<QLineEdit*> chain = {edSummeAnlagen, edSummeKFZ, edSummeFinanzanlagen, edSummeVorraete,
                                     edSummeVorsorge};
    for (int i = 0; i + 1 < chain.size(); ++i)
        connect(chain[i], &QLineEdit::returnPressed, chain[i + 1], [next = chain[i + 1]] { next->setFocus(); });
    connect(edSummeVorsorge, &QLineEdit::returnPressed, this, [this] {
        if (!CalcSumValues())
            ShowApplicationError(QStringLiteral("Fehler in der Berechnung der Summen zu den Versicherungswerten."),
                                 this);
    });
    return page;
}

void TfrmBrenvik::InventarShow() {
    if (iClientID == 0) {
        if (PageControl1->currentIndex() == 2)
            say(QStringLiteral("Bitte wählen Sie zunächst einen Mandanten aus."), MsgIcon::Information, this);
        return;
    }
    ReLoadAddress();
    ReloadSumValues();
}

void TfrmBrenvik::ReLoadAddress() {
    const QSignalBlocker quiet(cbAdresse);
    cbAdresse->clear();
    cbAdresse->clearEditText();
    try {
        cbAdresse->addItem(QStringLiteral("<alle Adressen>"), 0);
        const auto list = GetAdressen(iClientID);
        if (list)
            for (const TBrenvikAdresse& a : *list)
                cbAdresse->addItem(a.adressbezeichnung, a.adress_nr);
        cbAdresse->setCurrentIndex(cbAdresse->count() > 1 ? 0 : -1);
    } catch (const Exception&) {
        say(QStringLiteral("Fehler bei der Ermittlung der Adressen des Mandanten."), MsgIcon::Warning, this);
    }
}

void TfrmBrenvik::ReloadSumValues() {
    if (PageControl1->currentIndex() != 2 || iClientID == 0)
        return;
    const int a = cbAdresse->currentIndex() >= 0 ? cbAdresse->currentData().toInt() : 0;
    QStringList problems;
    const InventoryInputs in = LoadInventoryInputs(iClientID, a, problems);
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
        ShowApplicationError(QStringLiteral("Fehler in der Berechnung der Summen zu den Versicherungswerten."), this);
}

bool TfrmBrenvik::CalcSumValues() {
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
    } catch (const Exception& e) {
        say(QStringLiteral("Fehler bei der Berechnung der Summenwerte.\r") + e.message(), MsgIcon::Warning, this);
        return false;
    }
    return true;
}

void TfrmBrenvik::ExportInventory() {
    try {
        if (!CalcSumValues())
            throw Exception(QStringLiteral("Fehler in der Berechnung der Summen zu den Versicherungswerten."));
        InventoryInputs in;
        in.anlagen = TextToFloat(edSummeAnlagen->text());
        in.kfz = TextToFloat(edSummeKFZ->text());
        in.finanzanlagen = TextToFloat(edSummeFinanzanlagen->text());
        in.vorraete = TextToFloat(edSummeVorraete->text());
        in.vorsorge = TextToFloat(edSummeVorsorge->text());
        InventoryResult r;
        r.zwischensumme = TextToFloat(edZwischensumme->text());
        r.inventar = TextToFloat(edSummeInventar->text());
        r.aufgerundet = qint64(TextToFloat(edSummeInventarRnd->text()));
        platform::setClipboardBlock(InventoryBlockText(in, r), InventoryBlockHtml(in, r));
        say(QStringLiteral("Die Werte wurden in die Zwischenablage kopiert."), MsgIcon::Information, this);
        TBrenvikKennzahlenStandort s;
        s.brv_mandant_nr = 1;
        s.mandant_nr = iClientID;
        s.adress_nr = cbAdresse->currentIndex() >= 0 ? cbAdresse->currentData().toInt() : 0;
        s.vorraete = in.vorraete;
        s.vorsorgesumme = in.vorsorge;
        // The figures go to the clipboard in any case; stored only for a client this seat is editing.
        if (MandantLockHeldHere(iClientID))
            SaveKennzahlenStandort(s);
    } catch (const Exception& e) {
        say(e.message(), MsgIcon::Error, this);
    }
}

void TfrmBrenvik::buildMenu() {
    QMenuBar* mb = menuBar();
    mb->setObjectName(QStringLiteral("mnBrenvik"));
    auto add = [this](QMenu* m, const char* name, const QString& text, bool enabled) {
        QAction* a = m->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(enabled);
        return a;
    };
    QMenu* datei = mb->addMenu(QStringLiteral("&Datei"));
    datei->setObjectName(QStringLiteral("mnuDatei"));
    connect(add(datei, "mnuEinstellungen", QStringLiteral("&Einstellungen"), true), &QAction::triggered, this,
            &TfrmBrenvik::SettingsClick);
    datei->addSeparator();
    connect(add(datei, "mnuDatensicherung", QStringLiteral("Daten&sicherung ..."), true), &QAction::triggered, this,
            &TfrmBrenvik::BackupClick);
    connect(add(datei, "mnuDatenruecksicherung", QStringLiteral("Daten&rücksicherung ..."), true), &QAction::triggered,
            this, &TfrmBrenvik::RestoreClick);
    datei->addSeparator();
    QAction* quit = add(datei, "mnuBeenden", QStringLiteral("Programm &beenden"), true);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* bearbeiten = mb->addMenu(QStringLiteral("&Bearbeiten"));
    bearbeiten->setObjectName(QStringLiteral("mnuBearbeiten"));
    connect(add(bearbeiten, "mnuDatenimport", QStringLiteral("Datenimport"), true), &QAction::triggered, this,
            [this] { RunClientFunction(ClientFunction::Datenimport); });
    connect(add(bearbeiten, "mnuVersicherungswert", QStringLiteral("Versicherungswertermittlung"), true),
            &QAction::triggered, this, [this] { RunClientFunction(ClientFunction::Versicherungswertermittlung); });

    QMenu* berichte = mb->addMenu(QStringLiteral("Be&richte"));
    berichte->setObjectName(QStringLiteral("mnuBerichte"));
    connect(add(berichte, "mnuBerichtsmanagement", QStringLiteral("Berichts&management"), true), &QAction::triggered,
            this, [this] { RunClientFunction(ClientFunction::Berichte); });

    QMenu* tools = mb->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    QAction* migration = add(tools, "mnuDatenmigration", QStringLiteral("Daten&migration"), true);
    migration->setVisible(false); // kept for the one-time takeover of a predecessor's data
    connect(migration, &QAction::triggered, this, [this] {
        Tfrm_Datenmigration d(this);
        // The old clients' folders go where the user can write and their storage paths lead: the data folder.
        d.sAppPath = platform::commonFilesPath();
        platform::execModal(d);
        try {
            LoadClientTree();
        } catch (...) {
        }
    });
    connect(add(tools, "mnuIndexaktualisierung", QStringLiteral("&Indexaktualisierung"), true), &QAction::triggered,
            this, [this] {
                Tfrm_Indexaktualisierung d(this);
                platform::execModal(d);
            });

    QMenu* info = mb->addMenu(QStringLiteral("&Info"));
    info->setObjectName(QStringLiteral("mnuInfo"));
    connect(add(info, "mnuInfoTallora", QStringLiteral("Info über Tallora"), true), &QAction::triggered, this,
            &TfrmBrenvik::AboutClick);
    QAction* web = add(info, "mnuWeb", QStringLiteral("Brenvik im Internet"), true);
    connect(web, &QAction::triggered, this, [] { platform::shellOpen(webAddress()); });
}

void TfrmBrenvik::buildPopup() {
    pmnuClientFunc = new QMenu(this);
    pmnuClientFunc->setObjectName(QStringLiteral("pmnuClientFunc"));
    auto add = [this](const char* name, const QString& text) {
        QAction* a = pmnuClientFunc->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    pmMandantHinzufuegen = add("pmMandantHinzufuegen", QStringLiteral("Mandanten hinzufügen"));
    pmMandantHinzufuegen->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    pmMandantLoeschen = add("pmMandantLoeschen", QStringLiteral("Mandanten löschen"));
    pmMandantLoeschen->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
    pmnuClientFunc->addSeparator();
    pmDatenimport = add("pmDatenimport", QStringLiteral("Datenimport"));
    pmVersicherungswert = add("pmVersicherungswert", QStringLiteral("Versicherungswertermittlung"));
    pmBerichte = add("pmBerichte", QStringLiteral("Berichte"));
    connect(pmMandantHinzufuegen, &QAction::triggered, this, &TfrmBrenvik::NewMandant);
    connect(pmMandantLoeschen, &QAction::triggered, this, &TfrmBrenvik::DeleteMandantClick);
    connect(pmDatenimport, &QAction::triggered, this, [this] { RunClientFunction(ClientFunction::Datenimport); });
    connect(pmVersicherungswert, &QAction::triggered, this,
            [this] { RunClientFunction(ClientFunction::Versicherungswertermittlung); });
    connect(pmBerichte, &QAction::triggered, this, [this] { RunClientFunction(ClientFunction::Berichte); });
    for (QAction* a : pmnuClientFunc->actions())
        a->setVisible(false);
}

void TfrmBrenvik::WriteLog(const QString& code, const QString& text) {
    // The system's short date, with the year in four digits as the log has always shown it.
    QString fmt = QLocale().dateFormat(QLocale::ShortFormat);
    if (!fmt.contains(QLatin1String("yyyy")))
        fmt.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    redLog->appendPlainText(QLocale().toString(QDate::currentDate(), fmt) + QLatin1Char(' ') + code +
                            QStringLiteral(": ") + t);
}

QString TfrmBrenvik::logText() const {
    return redLog->toPlainText();
}

void TfrmBrenvik::StartUp() {
    statusPanel_->setText(QStringLiteral("Brenvik Tallora V") + productVersion());
    sUserName = platform::loginName();
    sOwnerName = sUserName;
    WriteLog(QStringLiteral("BRV000100"), QStringLiteral("Angemeldeter Benutzer: ") + sUserName);
    SetBrvLogSink([this](const QString& code, const QString& text) { WriteLog(code, text); });
    try {
        OpenDatabaseFromConfig();
        ReadParameters();
        PageControl1->setCurrentIndex(0);
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("BRV100010"),
                 QStringLiteral("Fehler beim Öffnen der Datenbank.\r\nSystemmeldung: ") + e.message());
        return;
    }
    try {
        try {
            RegisterBenutzerLogin(sUserName);
            TBrenvikBenutzer user;
            GetBenutzer(sUserName, user);
            iUserNr = user.benutzer_nr;
        } catch (const EBrvException_NODATA&) {
            throw Exception(QStringLiteral("Fehler beim Zugriff auf Benutzerinformationen."));
        } catch (const EBrvException_DBERROR&) {
            throw;
        } catch (const Exception& e) {
            throw EBrvException_DBERROR(e.message());
        }
        WriteLog(QStringLiteral("BRV000010"), QStringLiteral("Datenbank erfolgreich geöffnet."));
        try {
            ReleaseAbandonedLocks(iUserNr);
        } catch (const Exception& e) {
            WriteLog(QStringLiteral("BRV100300"),
                     QStringLiteral("Verwaiste Sperren konnten nicht aufgehoben werden.\r\n") + e.message());
        }
        LoadClientTree();
    } catch (const EBrvTreeViewLoad&) {
        WriteLog(QStringLiteral("BRV100100"), QStringLiteral("Initialisierungsfehler"));
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("BRV100101"),
                 QStringLiteral("Benutzerinformationen konnten nicht in die Datenbank eingetragen werden.\r\n"
                                "Fehlermeldung: ") +
                     e.message());
    }
}

void TfrmBrenvik::OpenDatabaseFromConfig() {
    sAppPath = platform::appFolder();
    try {
        sCommonFilesPath = platform::commonFilesPath();
        const brenvik::DbConfig cfg = brenvik::ReadDbConfig(sCommonFilesPath + brenvik::kIniFileName);
        sDBPath = cfg.database;
        sDBType = cfg.dbType;
        sDBUser = cfg.user;
        sDBPass = cfg.password;
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("BRV102000"),
                 QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\nSystemnachricht: ") +
                     e.message());
    }
    brenvik::DbConfig cfg{sDBPath, sDBType, sDBUser, sDBPass};
    brenvik::OpenConfiguredDatabase(IBBrvDB, cfg);

    gCommonFilesPath = sCommonFilesPath;
    IBBrvTrans.start();
    SetBrvConnection(&IBBrvDB, &IBBrvTrans);
    bServer = sDBType == QLatin1String("EXTERN");

    const int r = CheckDatabaseStructure();
    if (r < 2) {
        try {
            sBAKFLD = platform::withTrailingSeparator(GetKonfiguration(QStringLiteral("BACKUP_FOLDER")));
        } catch (...) {
            sBAKFLD.clear();
        }
    } else {
        WriteLog(QStringLiteral("BRV109000"), QStringLiteral("Die Überprüfung der Datenbankstrukturen ist "
                                                             "fehlgeschlagen.\r\nBitte informieren Sie den "
                                                             "Softwarehersteller."));
        platform::dialogs().message(QStringLiteral("Die Überprüfung der Datenbankstrukturen ist fehlgeschlagen. "
                                                   "Bitte informieren Sie den Softwarehersteller."),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
    }
}

void TfrmBrenvik::ReadParameters() {
    try {
        sAppPath = platform::appFolder();
        sCommonFilesPath = platform::commonFilesPath();
        platform::IniProfile ini(sCommonFilesPath + brenvik::kIniFileName);
        if (sBAKFLD.isEmpty()) {
            // Nothing configured stays nothing: a lone separator would name the root folder.
            const QString folder = ini.readString(brenvik::kSectionParameter, QStringLiteral("BACKUP_FOLDER"), {});
            sBAKFLD = folder.isEmpty() ? QString() : platform::withTrailingSeparator(folder);
        }
        sUSE_BACKUP_FOLDER_DB =
            ini.readString(brenvik::kSectionParameter, QStringLiteral("USE_BACKUP_FOLDER_DB"), QStringLiteral("0"));
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("BRV102001"),
                 QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\nSystemnachricht: ") +
                     e.message());
        sBAKFLD.clear();
    }
}

void TfrmBrenvik::CloseDatabase() {
    if (gBrvDB == &IBBrvDB)
        SetBrvConnection(nullptr, nullptr);
    if (IBBrvTrans.active()) {
        try {
            IBBrvTrans.commit();
        } catch (...) {
            IBBrvTrans.rollback();
        }
    }
    IBBrvDB.close();
}

void TfrmBrenvik::LoadClientTree() {
    try {
        tnSelNode = nullptr;
        tvBrenvik->clear();
        auto* root = new QTreeWidgetItem(tvBrenvik, {kRootText});
        root->setIcon(0, style()->standardIcon(QStyle::SP_ComputerIcon));
        auto* clients = new QTreeWidgetItem(root, {kClientsText});
        clients->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        const QIcon clientIcon = style()->standardIcon(QStyle::SP_FileIcon);
        for (const TBrenvikMandant& m : GetMandantenTreeList()) {
            auto* node = new QTreeWidgetItem(
                clients, {m.firma + QStringLiteral(" (") + QString::number(m.mandant_nr) + QLatin1Char(')')});
            node->setIcon(0, clientIcon);
            node->setData(0, Qt::UserRole, QString::number(m.mandant_nr));
        }
        root->setExpanded(true);
        clients->setExpanded(true);
    } catch (const std::exception& e) {
        sLastErrMsg = QString::fromUtf8(e.what());
        throw EBrvTreeViewLoad(QStringLiteral("Error initializing application tree"));
    }
}

bool TfrmBrenvik::isClientNode(const QTreeWidgetItem* n) const {
    // Level 2 below "Mandanten"; the client number is read from the node data, never from its text.
    return n && n->parent() && n->parent()->parent() && !n->parent()->parent()->parent() &&
           n->parent()->text(0) == kClientsText;
}

workspace::SelectedNode TfrmBrenvik::selectedNode() const {
    workspace::SelectedNode s;
    s.present = tnSelNode != nullptr;
    s.isClient = isClientNode(tnSelNode);
    if (s.isClient)
        s.clientNr = tnSelNode->data(0, Qt::UserRole).toString().toInt();
    return s;
}

void TfrmBrenvik::setSaveEnabled(bool save, bool reset) {
    btnSpeichern->setEnabled(save);
    for (QPushButton* b : std::as_const(clientWriteButtons_))
        b->setEnabled(save);
    btnZuruecksetzen->setEnabled(reset);
}

void TfrmBrenvik::expandAll() {
    tvBrenvik->expandAll();
}

void TfrmBrenvik::TreeClick() {
    QTreeWidgetItem* node = tvBrenvik->currentItem();
    if (!node) {
        tnSelNode = nullptr;
        return;
    }
    tnSelNode = node;
    iClientID_old = iClientID;
    QString holder;
    if (iClientID_old > 0) {
        MandantLock(false, iUserNr, iClientID_old, holder);
        // The lock is given back: nothing of the client shown may be saved any more.
        setSaveEnabled(false, false);
    }
    if (isClientNode(node)) {
        iClientID = node->data(0, Qt::UserRole).toString().toInt();
        bNewClient_ = false;
        panels_->setCurrentWidget(pnlMandant);
        try {
            LoadMandantData();
            InventarShow();
            const int r = MandantLock(true, iUserNr, iClientID, holder);
            if (r == kLockDone) {
                setSaveEnabled(true, true);
            } else if (r < kLockDbError) {
                say(workspace::LockedByOtherText(holder) +
                        QStringLiteral(
                            "\r\n\r\nBitte beachten Sie, dass Ihre Eingaben nicht gespeichert werden koennen."),
                    MsgIcon::Warning, this);
                setSaveEnabled(false, false);
            } else {
                say(QStringLiteral("Fehler beim Sperren des aktuell gewaehlten Mandanten. \r\nBitte beachten Sie, dass "
                                   "Ihre Eingaben nicht gespeichert werden koennen."),
                    MsgIcon::Warning, this);
                setSaveEnabled(false, true);
            }
        } catch (const EBrvException_NODATA&) {
            try {
                LoadClientTree();
            } catch (const Exception& e) {
                ShowApplicationError(e.message(), this);
            }
        } catch (const Exception& e) {
            ShowApplicationError(e.message(), this);
        }
    } else if (!node->parent() && node->text(0) == kRootText) {
        panels_->setCurrentWidget(pnlMain);
        try {
            LoadClientTree();
            expandAll();
        } catch (const Exception& e) {
            ShowApplicationError(e.message(), this);
        }
    }
}

void TfrmBrenvik::PreparePopup() {
    TreeClick();
    for (QAction* a : pmnuClientFunc->actions())
        a->setVisible(false);
    if (!tnSelNode)
        return;
    if (isClientNode(tnSelNode)) {
        QString holder;
        const int clientNr = tnSelNode->data(0, Qt::UserRole).toString().toInt();
        const int r = MandantLock(true, iUserNr, clientNr, holder);
        if (r == kLockDone) {
            for (QAction* a : {pmMandantLoeschen, pmDatenimport, pmVersicherungswert, pmBerichte})
                a->setVisible(true);
        } else {
            say(workspace::LockedByOtherText(holder), MsgIcon::Warning, this);
        }
    } else if (tnSelNode->text(0) == kClientsText && tnSelNode->parent() && !tnSelNode->parent()->parent()) {
        pmMandantHinzufuegen->setVisible(true);
    }
}

void TfrmBrenvik::RunClientFunction(ClientFunction f) {
    if (!workspace::ClientLockCheck(f, selectedNode(), iUserNr, this))
        return;
    iClientID = selectedNode().clientNr;
    const QString name = tnSelNode->text(0);
    if (openClientWindow) {
        openClientWindow(f, iClientID, name);
        return;
    }
    if (f == ClientFunction::Datenimport) {
        try {
            Tfrm_ImportAssets d(this);
            d.iClientID = iClientID;
            d.sClientName = name;
            d.sBAKFLD = sBAKFLD;
            d.sUSE_BACKUP_FOLDER_DB = sUSE_BACKUP_FOLDER_DB;
            platform::execModal(d);
            LoadMandantData();
        } catch (const Exception& e) {
            say(QStringLiteral("Fehler bei der Ermittlung des aktuellen Mandanten.\r\nBitte wählen Sie zunächst einen "
                               "Mandanten aus.") +
                    QStringLiteral("\r\n") + e.message(),
                MsgIcon::Information, this);
        }
    }
    if (f == ClientFunction::Berichte) {
        try {
            Tfrm_Reports d(this);
            d.InitializeReportEnv(platform::appFolder(), platform::commonFilesPath());
            d.iClientID = iClientID;
            d.sClientName = name;
            platform::execModal(d);
        } catch (const Exception& e) {
            ShowApplicationError(e.message(), this);
        }
    }
    if (f == ClientFunction::Versicherungswertermittlung) {
        try {
            Tfrm_VersWerte d(this);
            d.iClientID = iClientID;
            d.sClientName = name;
            d.bVAT = cbxMwst_Pflicht->isChecked();
            platform::execModal(d);
        } catch (const Exception& e) {
            say(QStringLiteral("Fehler bei der Ermittlung des aktuellen Mandanten.\r\nBitte wählen Sie zunächst einen "
                               "Mandanten aus.") +
                    QStringLiteral("\r\n") + e.message(),
                MsgIcon::Information, this);
        }
    }
}

void TfrmBrenvik::LoadMandantData() {
    try {
        lbLetzterImport->clear();
        TBrenvikMandant m;
        GetMandant(iClientID, m);
        edMandant_nr->setText(QString::number(m.mandant_nr));
        edFirma->setText(m.firma);
        edName1->setText(m.name1);
        edName2->setText(m.name2);
        edSicherungspfad->setText(m.sicherungspfad);
        edBetriebsart->setText(m.betriebsart_nr);
        cbxMwst_Pflicht->setChecked(m.mwst_pflicht == QLatin1String("1"));
        TDateTime lastImport = 0;
        try {
            lastImport = GetLetzterImportZeitpunkt(iClientID);
        } catch (const Exception& e) {
            platform::dialogs().message(e.message(), MsgIcon::None, MsgButtons::Ok, this);
        }
        lbLetzterImport->setText(lastImport != 0 ? ShortDateText(lastImport) : QStringLiteral("./."));
        ShowBetriebsart();
        ReloadAddressList();
        ReloadMeasureList();
        ReloadObjektAdressen();
        ReloadObjekte();
    } catch (const Exception& e) {
        platform::dialogs().message(
            QStringLiteral("Fehler beim Lesen des Mandanten aus der Datenbank.\r\nUnter Umständen ist der aktuell "
                           "gewählte Mandant zwischenzeitlich aus der Datenbank entfernt worden.\r\nSystemmeldung: ") +
                e.message(),
            MsgIcon::Error, MsgButtons::Ok, this);
        throw EBrvException_DBERROR(QStringLiteral("Keine Mandantendaten in der Datenbank verfuegbar"));
    }
}

void TfrmBrenvik::ReloadAddressList() {
    lvAdressen->clear();
    const auto list = GetAdressen(iClientID);
    if (!list)
        return;
    QList<QTreeWidgetItem*> items;
    for (const TBrenvikAdresse& a : *list) {
        auto* it = new QTreeWidgetItem({QString::number(a.adress_nr), a.adressbezeichnung, a.strasse, a.plz, a.ort});
        it->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        it->setData(0, Qt::UserRole, a.adress_nr);
        items.append(it);
    }
    lvAdressen->addTopLevelItems(items);
}

void TfrmBrenvik::ReloadMeasureList() {
    lvKennzahlen->clear();
    const auto list = GetKennzahlenHistList(iClientID);
    if (!list)
        return;
    QList<QTreeWidgetItem*> items;
    for (const TBrenvikKennzahlenHist& k : *list) {
        auto* it = new QTreeWidgetItem({QString::number(k.bilanzjahr), FormatCurrency(k.fertige_erz_bilanz),
                                        FormatCurrency(k.unfertige_erz_bilanz), FormatCurrency(k.lager_bstoffe_bilanz),
                                        FormatCurrency(k.fertige_erz_max), FormatCurrency(k.unfertige_erz_max),
                                        FormatCurrency(k.lager_bstoffe_max), FormatCurrency(k.vorsorgesumme),
                                        FormatAmount(k.endwertgrenze) + QLatin1Char('%')});
        for (int c = 1; c < 9; ++c)
            it->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        it->setData(0, Qt::UserRole, int(k.bilanzjahr));
        items.append(it);
    }
    lvKennzahlen->addTopLevelItems(items);
    for (int c = 0; c < lvKennzahlen->columnCount(); ++c)
        lvKennzahlen->resizeColumnToContents(c);
}

void TfrmBrenvik::ReloadObjektAdressen() {
    cmbAdressen->clear();
    FAdressListe.clear();
    try {
        const auto list = GetAdressen(edMandant_nr->text().toInt());
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

void TfrmBrenvik::ReloadObjekte() {
    lvObjekte->clear();
    FObjekte = GetGebObjekte(edMandant_nr->text());
    for (const TGebObjekt& o : FObjekte)
        lvObjekte->addTopLevelItem(new QTreeWidgetItem({o.Caption}));
}

std::optional<TGebObjekt> TfrmBrenvik::GetSelectedObjekt() const {
    QTreeWidgetItem* item = lvObjekte->currentItem();
    const int row = item && item->isSelected() ? lvObjekte->indexOfTopLevelItem(item) : -1;
    if (row < 0 || row >= FObjekte.size())
        return std::nullopt;
    return FObjekte[row];
}

void TfrmBrenvik::NewObjekt() {
    if (cmbAdressen->count() == 0) {
        platform::dialogs().message(QStringLiteral("Es wurden noch keine Anschriften hinterlegt"), MsgIcon::Warning,
                                    MsgButtons::Ok, this);
        return;
    }
    const int at = cmbAdressen->currentIndex();
    if (at < 0 || at >= FAdressListe.size())
        return;
    const TBrenvikAdresse& a = FAdressListe[at];
    const QString owner = edMandant_nr->text();
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
        o.Ersteller = sOwnerName;
        ShowObjekt(o);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TfrmBrenvik::OpenSelectedObjekt() {
    std::optional<TGebObjekt> o = GetSelectedObjekt();
    if (o)
        ShowObjekt(*o);
}

void TfrmBrenvik::ShowObjekt(TGebObjekt& o) {
    try {
        TFrameBuilding frame(this);
        frame.Initialize(&o, GetMandantFileFolder());
        platform::execModal(frame);
        ReloadObjekte();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TfrmBrenvik::DeleteSelectedObjekt() {
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

QString TfrmBrenvik::ReadUseBackupFolderDb() {
    // One authoritative configuration file: the common data folder's, which start-up and the settings use too.
    try {
        return workspace::UseBackupFolderDbFlag();
    } catch (const Exception& e) {
        platform::dialogs().message(QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\n"
                                                   "Systemnachricht: ") +
                                        e.message(),
                                    MsgIcon::None, MsgButtons::Ok, this);
        return {};
    }
}

QString TfrmBrenvik::GetMandantFileFolder() {
    try {
        return workspace::ClientStorageFolder(iClientID, ReadUseBackupFolderDb());
    } catch (const Exception& e) {
        platform::dialogs().message(QStringLiteral("GetMandantFileFolder: ") + e.message(), MsgIcon::None,
                                    MsgButtons::Ok, this);
        return {};
    }
}

void TfrmBrenvik::ShowBetriebsart() {
    TBrenvikBetriebsarten b;
    try {
        GetBetriebsart(edBetriebsart->text(), b);
    } catch (const Exception&) {
    }
    lbBetriebsart_bez->setText(b.betriebsart_bez);
}

void TfrmBrenvik::LookUpBetriebsart() {
    Tfrm_select_branch d(this);
    d.sMandantenBez = edFirma->text().isEmpty() ? QStringLiteral("... noch nicht bekannt") : edFirma->text();
    if (platform::execModal(d) == QDialog::Accepted) {
        edBetriebsart->setText(d.sBetriebsart_nr);
        ShowBetriebsart();
    }
}

void TfrmBrenvik::NewMandant() {
    panels_->setCurrentWidget(pnlMandant);
    PageControl1->setCurrentIndex(0);
    try {
        if (bServer) {
            edMandant_nr->setText(QStringLiteral("0"));
        } else {
            iClientID = GetMaxMandantNr() + 1;
            edMandant_nr->setText(QString::number(iClientID));
        }
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
        return;
    }
    bNewClient_ = true;
    for (QLineEdit* e : {edFirma, edName1, edName2, edBetriebsart, edSicherungspfad})
        e->clear();
    lbBetriebsart_bez->clear();
    lvAdressen->clear();
    lvKennzahlen->clear();
    // Nothing of the client shown before may stay on any tab of the new one.
    cbxMwst_Pflicht->setChecked(true);
    lbLetzterImport->setText(QStringLiteral("./."));
    cmbAdressen->clear();
    FAdressListe.clear();
    lvObjekte->clear();
    FObjekte.clear();
    if (cbAdresse)
        cbAdresse->clear();
    for (QLineEdit* e : {edSummeAnlagen, edSummeKFZ, edSummeFinanzanlagen, edZwischensumme, edSummeVorraete,
                         edSummeVorsorge, edSummeInventar, edSummeInventarRnd})
        e->clear();
    // A new client is this seat's own until it is saved (its row buttons say that the save comes first).
    setSaveEnabled(true, true);
    if (edFirma->isVisible() && edFirma->isEnabled())
        edFirma->setFocus();
}

void TfrmBrenvik::SaveMandantClick() {
    workspace::ClientForm form;
    form.mandantNr = edMandant_nr->text();
    form.firma = edFirma->text();
    form.name1 = edName1->text();
    form.name2 = edName2->text();
    form.betriebsart = edBetriebsart->text();
    form.sicherungspfad = edSicherungspfad->text();
    form.mwstPflicht = cbxMwst_Pflicht->isChecked();
    form.isNew = bNewClient_;
    const workspace::SaveResult r = workspace::SaveClient(
        form, sBAKFLD, sUSE_BACKUP_FOLDER_DB, [this](const QString& c, const QString& t) { WriteLog(c, t); }, this);
    if (!form.mandantNr.isEmpty())
        edSicherungspfad->setText(r.sicherungspfad);
    if (!r.focusField.isEmpty()) {
        if (auto* w = findChild<QWidget*>(r.focusField))
            w->setFocus();
    }
    if (!r.saved)
        return;
    bNewClient_ = false;
    iClientID = r.mandantNr;
    edMandant_nr->setText(QString::number(r.mandantNr));
    setSaveEnabled(MandantLockHeldHere(r.mandantNr), true);
    try {
        LoadClientTree();
        expandAll();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
    tnSelNode = nullptr;
}

void TfrmBrenvik::ResetMandantClick() {
    if (iClientID == 0) {
        say(QStringLiteral("Es wurde noch kein Mandant ausgewählt. Die Funktion kann nicht ausgeführt werden."),
            MsgIcon::Information, this);
        return;
    }
    // A client not yet saved has nothing stored to go back to: its entries are discarded.
    if (bNewClient_) {
        NewMandant();
        return;
    }
    try {
        LoadMandantData();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void TfrmBrenvik::DeleteMandantClick() {
    if (!workspace::ClientLockCheck(ClientFunction::MandantLoeschen, selectedNode(), iUserNr, this))
        return;
    iClientID = selectedNode().clientNr;
    const QString nodeText = tnSelNode->text(0);
    if (platform::dialogs().message(
            QStringLiteral("Diese Funktion löscht den ausgewählten Mandanten \r\n\r\n          ") + nodeText +
                QStringLiteral("\r\n\r\nund alle abhängigen Daten vollständig und unwiderruflich "
                               "aus der Datenbank.\r\nMöchten Sie den Vorgang wirklich "
                               "fortsetzen?"),
            MsgIcon::Warning, MsgButtons::YesNo, this) != MsgResult::Yes)
        return;
    try {
        DeleteMandant(iClientID);
        say(QStringLiteral("Der Mandant wurde erfolgreich vollständig gelöscht."), MsgIcon::Information, this);
    } catch (const Exception& e) {
        say(e.message() + QStringLiteral("\r\nBitte wiederholen Sie den Vorgang.\r\nSollte die Funktion wiederholt "
                                         "nicht ordnungsgemäß ausgeführt werden, \r\ninformieren Sie bitte den "
                                         "Softwarehersteller."),
            MsgIcon::Error, this);
    }
    try {
        LoadClientTree();
        expandAll();
        tvBrenvik->setCurrentItem(tvBrenvik->topLevelItem(0)->child(0));
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
    panels_->setCurrentWidget(pnlMain);
}

void TfrmBrenvik::BrowseStorageFolder() {
    if (edMandant_nr->text().isEmpty()) {
        say(QStringLiteral(
                "Bitte wählen Sie zunächst einen Mandanten zum Bearbeiten aus \r\noder legen Sie einen neuen "
                "Mandanten an."),
            MsgIcon::Warning, this);
        return;
    }
    const QString folder = platform::dialogs().folder(QStringLiteral("Speicherort festlegen"), sCommonFilesPath, this);
    if (!folder.isEmpty())
        edSicherungspfad->setText(folder);
}

void TfrmBrenvik::ProposeStorageFolder() {
    edSicherungspfad->setText(workspace::ProposeStorageFolder(edFirma->text(), edMandant_nr->text(),
                                                              sUSE_BACKUP_FOLDER_DB, sCommonFilesPath));
}

int TfrmBrenvik::selectedRowNumber(QTreeWidget* list) const {
    const QList<QTreeWidgetItem*> sel = list->selectedItems();
    QTreeWidgetItem* it = sel.isEmpty() ? nullptr : sel.first();
    return it ? it->data(0, Qt::UserRole).toInt() : -1;
}

namespace {
// Adding rows needs a saved client: rows of a new client that is then abandoned would stay behind and belong to the
// next client of that number.
bool clientReadyForRows(const QString& nr, bool unsavedNewClient, QWidget* parent) {
    if (nr.isEmpty()) {
        say(QStringLiteral("Bitte wählen Sie zunächst einen Mandanten aus."), MsgIcon::Information, parent);
        return false;
    }
    if (nr == QLatin1String("0") || unsavedNewClient) {
        say(QStringLiteral("Bitte speichern Sie zunächst Ihre Eingaben zu dem neu angelegten Mandanten."),
            MsgIcon::Information, parent);
        return false;
    }
    return true;
}
} // namespace

void TfrmBrenvik::AddAddress() {
    if (!clientReadyForRows(edMandant_nr->text(), bNewClient_, this))
        return;
    Tfrm_EditAddress d(this);
    d.setWindowTitle(QStringLiteral("Adresse hinzufügen"));
    d.iClientID = edMandant_nr->text().toInt();
    d.sClientName = edFirma->text();
    d.bAdd = true;
    if (!d.InitForm_AddAddress(d.iClientID))
        return;
    if (platform::execModal(d) == QDialog::Accepted) {
        ReloadAddressList();
        ReloadObjektAdressen();
    }
}

void TfrmBrenvik::EditAddress() {
    const int nr = selectedRowNumber(lvAdressen);
    if (nr < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst eine Adresse aus."), MsgIcon::Information, this);
        return;
    }
    Tfrm_EditAddress d(this);
    d.setWindowTitle(QStringLiteral("Adresse bearbeiten"));
    d.iClientID = edMandant_nr->text().toInt();
    d.sClientName = edFirma->text();
    d.bAdd = false;
    d.iAddressNr = nr;
    if (platform::execModal(d) == QDialog::Accepted) {
        ReloadAddressList();
        ReloadObjektAdressen();
    }
}

void TfrmBrenvik::DeleteAddress() {
    const int nr = selectedRowNumber(lvAdressen);
    if (nr < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst eine Adresse aus."), MsgIcon::Information, this);
        return;
    }
    if (platform::dialogs().message(QStringLiteral("Bitte bestätigen Sie das Löschen der ausgewählten Adresse."),
                                    MsgIcon::Warning, MsgButtons::YesNo, this) != MsgResult::Yes)
        return;
    try {
        DeleteAdresse(edMandant_nr->text().toInt(), nr);
        ReloadAddressList();
        ReloadObjektAdressen();
    } catch (const Exception& e) {
        say(QStringLiteral("Die angeforderte Adresse konnte nicht gelöscht werden.\r\nFehlermeldung: ") + e.message(),
            MsgIcon::Error, this);
    }
}

void TfrmBrenvik::AddMeasures() {
    if (!clientReadyForRows(edMandant_nr->text(), bNewClient_, this))
        return;
    Tfrm_EditMeasures d(this);
    d.setWindowTitle(QStringLiteral("Jahr/ Kennzahlen hinzufügen"));
    d.iClientID = edMandant_nr->text().toInt();
    d.sClientName = edFirma->text();
    d.bAdd = true;
    if (!d.InitForm_AddMeasures(d.iClientID))
        return;
    if (platform::execModal(d) == QDialog::Accepted)
        ReloadMeasureList();
}

void TfrmBrenvik::EditMeasures() {
    const int year = selectedRowNumber(lvKennzahlen);
    if (year < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst ein Jahr (Kennzahlen) aus."), MsgIcon::Information, this);
        return;
    }
    Tfrm_EditMeasures d(this);
    d.setWindowTitle(QStringLiteral("Kennzahlen bearbeiten"));
    d.iClientID = edMandant_nr->text().toInt();
    d.sClientName = edFirma->text();
    d.bAdd = false;
    d.iBilanzjahr = year;
    if (platform::execModal(d) == QDialog::Accepted)
        ReloadMeasureList();
}

void TfrmBrenvik::DeleteMeasures() {
    const int year = selectedRowNumber(lvKennzahlen);
    if (year < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst ein Jahr (Kennzahlen) aus."), MsgIcon::Information, this);
        return;
    }
    if (platform::dialogs().message(QStringLiteral("Bitte bestätigen Sie das Löschen der ausgewählten Kennzahlen."),
                                    MsgIcon::Warning, MsgButtons::YesNo, this) != MsgResult::Yes)
        return;
    try {
        DeleteKennzahlenHist(edMandant_nr->text().toInt(), year);
        ReloadMeasureList();
    } catch (const Exception& e) {
        say(QStringLiteral("Die angeforderten Kennzahlen konnte nicht gelöscht werden.\r\nFehlermeldung: ") +
                e.message(),
            MsgIcon::Error, this);
    }
}

void TfrmBrenvik::SettingsClick() {
    Tfrm_Settings d(this);
    d.sAppPath = sAppPath;
    d.sCommonFilesPath = sCommonFilesPath.isEmpty() ? platform::commonFilesPath() : sCommonFilesPath;
    platform::execModal(d);
    ReadParameters();
}

void TfrmBrenvik::AboutClick() {
    Tfrm_Tallora d(this);
    platform::execModal(d);
}

namespace {
// A busy indicator that shows the service's report while a backup or a restore runs.
class ServiceProgress {
public:
    ServiceProgress(QWidget* parent, const QString& title, const QString& text) : dlg_(text, QString(), 0, 0, parent) {
        dlg_.setObjectName(QStringLiteral("dlgDatensicherung"));
        dlg_.setWindowTitle(title);
        dlg_.setWindowModality(Qt::WindowModal);
        dlg_.setMinimumDuration(0);
        dlg_.setMinimumWidth(480);
        dlg_.show();
        text_ = text;
        QCoreApplication::processEvents();
    }
    void line(const QString& l) {
        ++lines_;
        if (timer_.isValid() && timer_.elapsed() < 100)
            return; // the report can run to thousands of lines: the window follows at its own pace
        timer_.start();
        dlg_.setLabelText(text_ + QStringLiteral("\n") + l.trimmed().left(80));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

private:
    QProgressDialog dlg_;
    QString text_;
    QElapsedTimer timer_;
    int lines_ = 0;
};
} // namespace

void TfrmBrenvik::BackupClick() {
    if (!BrvConnected()) {
        say(QStringLiteral("Es besteht keine Verbindung zur Datenbank."), MsgIcon::Warning, this);
        return;
    }
    const QString proposal = (sBAKFLD.isEmpty() ? sCommonFilesPath : sBAKFLD) + QStringLiteral("brenvik_") +
                             QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".fbk");
    const QString file = platform::dialogs().saveFile(QStringLiteral("Datensicherung"), proposal,
                                                      QStringLiteral("Datensicherung (*.fbk)"), this);
    if (file.isEmpty())
        return;
    try {
        ServiceProgress progress(this, QStringLiteral("Datensicherung"),
                                 QStringLiteral("Die Datenbank wird gesichert ..."));
        backup::Backup({sDBPath, sDBUser, sDBPass}, file, [&progress](const QString& l) { progress.line(l); });
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("BRV100400"), e.message());
        say(e.message(), MsgIcon::Error, this);
        return;
    }
    WriteLog(QStringLiteral("BRV000400"), QStringLiteral("Datensicherung erstellt: ") + file);
    say(QStringLiteral("Die Datensicherung wurde erfolgreich erstellt:\r\n") + file +
            (bServer ? QStringLiteral("\r\n(auf dem Datenbankserver)") : QString()),
        MsgIcon::Information, this);
}

void TfrmBrenvik::RestoreClick() {
    const QString file = platform::dialogs().openFile(QStringLiteral("Datenrücksicherung"),
                                                      sBAKFLD.isEmpty() ? sCommonFilesPath : sBAKFLD,
                                                      QStringLiteral("Datensicherung (*.fbk);;Alle Dateien (*)"), this);
    if (file.isEmpty())
        return;
    if (platform::dialogs().message(QStringLiteral("Die Datenrücksicherung ersetzt den gesamten Datenbestand durch den "
                                                   "Stand der Sicherung\r\n") +
                                        file +
                                        QStringLiteral("\r\n\r\nAlle Änderungen seit dieser Sicherung gehen verloren. "
                                                       "Soll die Datenrücksicherung durchgeführt werden?"),
                                    MsgIcon::Warning, MsgButtons::YesNo, this) != MsgResult::Yes)
        return;
    backup::RestoreHooks hooks;
    hooks.ownAttachments = BrvConnected() ? 1 : 0;
    hooks.check = [] { return CheckDatabaseStructure() == 1; };
    hooks.detach = [this] {
        QString holder;
        if (BrvConnected())
            MandantLock(false, iUserNr, -1, holder);
        CloseDatabase();
    };
    backup::RestoreResult r;
    {
        ServiceProgress progress(this, QStringLiteral("Datenrücksicherung"),
                                 QStringLiteral("Die Sicherung wird zurückgelesen und geprüft ..."));
        hooks.progress = [&progress](const QString& l) { progress.line(l); };
        r = backup::Restore({sDBPath, sDBUser, sDBPass}, file, hooks);
    }
    if (!IBBrvDB.isOpen()) {
        // The session starts again on what is now the configured database.
        iClientID = 0;
        tnSelNode = nullptr;
        panels_->setCurrentWidget(pnlMain);
        setSaveEnabled(false, false);
        StartUp();
    }
    if (!r.restored) {
        WriteLog(QStringLiteral("BRV100401"), r.message);
        say(r.message, MsgIcon::Error, this);
        return;
    }
    WriteLog(QStringLiteral("BRV000401"), QStringLiteral("Datenrücksicherung aus ") + file);
    say(QStringLiteral("Die Datenrücksicherung wurde erfolgreich beendet."), MsgIcon::Information, this);
}

void TfrmBrenvik::closeEvent(QCloseEvent* e) {
    if (!closed_) {
        closed_ = true;
        QString holder;
        if (BrvConnected())
            MandantLock(false, iUserNr, -1, holder);
        try {
            CloseDatabase();
        } catch (...) {
        }
    }
    e->accept();
}
