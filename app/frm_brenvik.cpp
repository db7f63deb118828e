#include "app/frm_brenvik.h"

#include "app/frm_settings.h"
#include "app/tab_gebaeude.h"
#include "app/tab_inventar.h"
#include "app/tab_kundendaten.h"

#include "session/brenvik_ini.h"
#include "migration/frm_datenmigration.h"
#include "reports/frm_reports.h"
#include "import/frm_importassets.h"
#include "assets/frm_indexupdate.h"
#include "assets/frm_verswerte.h"
#include "platform/ui_common.h"
#include "db/backup.h"
#include "db/brenvik_config.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/mandanten.h"
#include "db/schema.h"
#include "db/versicherungswerte.h"
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

} // namespace

QString TfrmBrenvik::productVersion() {
    return ProgramVersion();
}
QString TfrmBrenvik::webAddress() {
    return QStringLiteral("https://www.brenvik.de");
}

TfrmBrenvik::TfrmBrenvik(QWidget* parent)
    : QMainWindow(parent), session_([this](const QString& code, const QString& text) { WriteLog(code, text); }) {
    setObjectName(QStringLiteral("frmBrenvik"));
    setWindowTitle(QStringLiteral("Brenvik - Lösungen für die Assekuranz"));
    buildUi();
    buildMenu();
    buildPopup();
    // Between two operations the seat holds no transaction: an open one would keep every other seat's old record
    // versions from being collected for as long as the window sits idle.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (session_.sharesConnection())
                BrvEndIdleTransaction();
        });
}

TfrmBrenvik::~TfrmBrenvik() {
    SetBrvLogSink({});
}

void TfrmBrenvik::buildUi() {
    const int treeStart = treeWidth(platform::IniProfile(brenvik::IniFilePath()));
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
        kundendaten_ = new TTabKundendaten(*this);
        gebaeude_ = new TTabGebaeude(*this);
        inventar_ = new TTabInventar(*this);
        PageControl1->addTab(kundendaten_, QStringLiteral("Kundendaten"));
        PageControl1->addTab(gebaeude_, QStringLiteral("Gebäude"));
        PageControl1->addTab(inventar_, QStringLiteral("Inventar"));
        clientWriteButtons_ << kundendaten_->writeButtons() << gebaeude_->writeButtons();
        connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
            if (PageControl1->widget(index) == inventar_)
                inventar_->InventarShow();
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
    hsplit->setSizes({treeStart, 1000});

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

    UiFitToScreen(this, QSize(treeStart + 1010, 740));
}

namespace {
const QString kSectionWindow = QStringLiteral("BRENVIK-FENSTER");
const QString kTreeWidth = QStringLiteral("BAUMBREITE");
} // namespace

// The width the user gave the client tree, kept by the seat in its ini file (193 until the user moves the divider).
int TfrmBrenvik::treeWidth(const platform::IniProfile& ini) {
    const int stored = ini.readString(kSectionWindow, kTreeWidth, QString()).toInt();
    return stored >= 120 && stored <= 800 ? stored : 193;
}

void TfrmBrenvik::storeTreeWidth() {
    const auto* split = findChild<QSplitter*>(QStringLiteral("splitterTree"));
    if (!split || split->sizes().isEmpty())
        return;
    const int width = split->sizes().first();
    // Only into an ini file that is there: a file of this key alone would stand for an installation without database.
    platform::IniProfile ini(brenvik::IniFilePath());
    if (!ini.loaded() || width == treeWidth(ini))
        return;
    try {
        ini.writeString(kSectionWindow, kTreeWidth, QString::number(width));
    } catch (const Exception&) {
        // A read-only ini file keeps the old width; nothing the user has to act on at the close.
    }
}

void TfrmBrenvik::buildMenu() {
    QMenuBar* mb = menuBar();
    mb->setObjectName(QStringLiteral("mnBrenvik"));
    auto add = [](QMenu* m, const char* name, const QString& text, bool enabled) {
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
        iUserNr = session_.registerUser(sUserName);
        WriteLog(QStringLiteral("BRV000010"), QStringLiteral("Datenbank erfolgreich geöffnet."));
        session_.releaseAbandonedLocks();
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
    session_.openConfigured();
    const brenvik::DbConfig& cfg = session_.config();
    sCommonFilesPath = session_.commonFilesPath();
    sDBPath = cfg.database;
    sDBType = cfg.dbType;
    sDBUser = cfg.user;
    sDBPass = cfg.password;
    bServer = session_.server();
    if (session_.checkSchema() >= 2) {
        WriteLog(QStringLiteral("BRV109000"), QStringLiteral("Die Überprüfung der Datenbankstrukturen ist "
                                                             "fehlgeschlagen.\r\nBitte informieren Sie den "
                                                             "Softwarehersteller."));
        platform::dialogs().message(QStringLiteral("Die Überprüfung der Datenbankstrukturen ist fehlgeschlagen. "
                                                   "Bitte informieren Sie den Softwarehersteller."),
                                    platform::MsgIcon::Error, platform::MsgButtons::Ok, this);
    }
    sBAKFLD = session_.backupFolder();
}

void TfrmBrenvik::ReadParameters() {
    sAppPath = platform::appFolder();
    try {
        sCommonFilesPath = platform::commonFilesPath();
    } catch (const Exception&) {
    }
    session_.readParameters();
    sBAKFLD = session_.backupFolder();
    sUSE_BACKUP_FOLDER_DB = session_.useBackupFolderDb();
}

void TfrmBrenvik::CloseDatabase() {
    session_.close();
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
            // A long name is cut to the tree's width; the tooltip shows it whole.
            node->setToolTip(0, node->text(0));
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
    kundendaten_->saveButton()->setEnabled(save);
    for (QPushButton* b : std::as_const(clientWriteButtons_))
        b->setEnabled(save);
    kundendaten_->resetButton()->setEnabled(reset);
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
    if (iClientID_old > 0) {
        session_.giveBackClient(iClientID_old);
        // The lock is given back: nothing of the client shown may be saved any more.
        setSaveEnabled(false, false);
    }
    if (isClientNode(node)) {
        iClientID = node->data(0, Qt::UserRole).toString().toInt();
        bNewClient_ = false;
        panels_->setCurrentWidget(pnlMandant);
        try {
            LoadMandantData();
            inventar_->InventarShow();
            const session::ClientLock lock = session_.takeClient(iClientID);
            if (lock.held()) {
                setSaveEnabled(true, true);
            } else if (lock.code < kLockDbError) {
                say(workspace::LockedByOtherText(lock.holder) +
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
        const session::ClientLock lock = session_.takeClient(selectedNode().clientNr);
        if (lock.held()) {
            for (QAction* a : {pmMandantLoeschen, pmDatenimport, pmVersicherungswert, pmBerichte})
                a->setVisible(true);
        } else {
            say(workspace::LockedByOtherText(lock.holder), MsgIcon::Warning, this);
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
            d.bVAT = kundendaten_->MwstPflicht();
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
        inventar_->ShowLetzterImport({});
        TBrenvikMandant m;
        GetMandant(iClientID, m);
        kundendaten_->ShowMandant(m);
        TDateTime lastImport = 0;
        try {
            lastImport = GetLetzterImportZeitpunkt(iClientID);
        } catch (const Exception& e) {
            platform::dialogs().message(e.message(), MsgIcon::None, MsgButtons::Ok, this);
        }
        inventar_->ShowLetzterImport(lastImport != 0 ? ShortDateText(lastImport) : QStringLiteral("./."));
        gebaeude_->ReloadObjektAdressen();
        gebaeude_->ReloadObjekte();
    } catch (const Exception& e) {
        platform::dialogs().message(
            QStringLiteral("Fehler beim Lesen des Mandanten aus der Datenbank.\r\nUnter Umständen ist der aktuell "
                           "gewählte Mandant zwischenzeitlich aus der Datenbank entfernt worden.\r\nSystemmeldung: ") +
                e.message(),
            MsgIcon::Error, MsgButtons::Ok, this);
        throw EBrvException_DBERROR(QStringLiteral("Keine Mandantendaten in der Datenbank verfuegbar"));
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

void TfrmBrenvik::NewMandant() {
    panels_->setCurrentWidget(pnlMandant);
    PageControl1->setCurrentIndex(0);
    try {
        // A server numbers the client at its save (another seat may take the next number first).
        iClientID = bServer ? 0 : GetMaxMandantNr() + 1;
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
        return;
    }
    bNewClient_ = true;
    // Nothing of the client shown before may stay on any tab of the new one.
    gebaeude_->Clear();
    inventar_->Clear();
    // A new client is this seat's own until it is saved (its row buttons say that the save comes first).
    setSaveEnabled(true, true);
    kundendaten_->ShowNewMandant(iClientID);
}

void TfrmBrenvik::ClientSaved(int mandantNr) {
    bNewClient_ = false;
    iClientID = mandantNr;
    setSaveEnabled(MandantLockHeldHere(mandantNr), true);
    try {
        LoadClientTree();
        expandAll();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
    tnSelNode = nullptr;
}

void TfrmBrenvik::AddressesChanged() {
    kundendaten_->ReloadAddressList();
    gebaeude_->ReloadObjektAdressen();
}

void TfrmBrenvik::ReloadObjektAdressen() {
    gebaeude_->ReloadObjektAdressen();
}

void TfrmBrenvik::NewObjekt() {
    gebaeude_->NewObjekt();
}

void TfrmBrenvik::DeleteSelectedObjekt() {
    gebaeude_->DeleteSelectedObjekt();
}

bool TfrmBrenvik::CalcSumValues() {
    return inventar_->CalcSumValues();
}

void TfrmBrenvik::ExportInventory() {
    inventar_->ExportInventory();
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
    hooks.detach = [this] { CloseDatabase(); };
    backup::RestoreResult r;
    {
        ServiceProgress progress(this, QStringLiteral("Datenrücksicherung"),
                                 QStringLiteral("Die Sicherung wird zurückgelesen und geprüft ..."));
        hooks.progress = [&progress](const QString& l) { progress.line(l); };
        r = backup::Restore({sDBPath, sDBUser, sDBPass}, file, hooks);
    }
    if (!session_.isOpen()) {
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
        storeTreeWidth();
        // This seat's locks are given back, the transaction ended, the database detached.
        CloseDatabase();
    }
    e->accept();
}
