#include "app/frm_brenvik.h"

#include "app/brenvik_ini.h"
#include "db/brenvik_config.h"
#include "db/convert.h"
#include "db/dbaccess.h"
#include "db/mandanten.h"
#include "db/schema.h"
#include "platform/dialogs.h"
#include "platform/ini.h"
#include "platform/paths.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#ifndef BRENVIK_VERSION
#define BRENVIK_VERSION "0.0.0.0"
#endif

QString TfrmBrenvik::productVersion() { return QStringLiteral(BRENVIK_VERSION); }
QString TfrmBrenvik::webAddress() { return QStringLiteral("https://www.brenvik.de"); }

TfrmBrenvik::TfrmBrenvik(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("frmBrenvik"));
    setWindowTitle(QStringLiteral("Brenvik - Lösungen für die Assekuranz"));
    buildUi();
    buildMenu();
}

TfrmBrenvik::~TfrmBrenvik() {
    if (gBrvDB == &IBBrvDB)
        SetBrvConnection(nullptr, nullptr);
}

void TfrmBrenvik::buildUi() {
    tvBrenvik = new QTreeWidget;
    tvBrenvik->setObjectName(QStringLiteral("tvBrenvik"));
    tvBrenvik->setHeaderHidden(true);
    tvBrenvik->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvBrenvik->setMinimumWidth(120);

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
        auto* header = new QLabel(QStringLiteral("Mandanten"));
        header->setObjectName(QStringLiteral("lbMandantenHeader"));
        QFont f = header->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.3);
        header->setFont(f);
        l->addWidget(header);
        PageControl1 = new QTabWidget;
        PageControl1->setObjectName(QStringLiteral("PageControl1"));
        for (const auto& [name, caption] : {std::pair{"tsKundendaten", "Kundendaten"}, std::pair{"tsGebaeude", "Gebäude"},
                                            std::pair{"tsInventar", "Inventar"}}) {
            auto* page = new QWidget;
            page->setObjectName(QString::fromLatin1(name));
            PageControl1->addTab(page, QString::fromUtf8(caption));
        }
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
    add(datei, "mnuEinstellungen", QStringLiteral("&Einstellungen"), false);
    QAction* quit = add(datei, "mnuBeenden", QStringLiteral("Programm &beenden"), true);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* bearbeiten = mb->addMenu(QStringLiteral("&Bearbeiten"));
    bearbeiten->setObjectName(QStringLiteral("mnuBearbeiten"));
    add(bearbeiten, "mnuDatenimport", QStringLiteral("Datenimport"), false);
    add(bearbeiten, "mnuVersicherungswert", QStringLiteral("Versicherungswertermittlung"), false);

    QMenu* berichte = mb->addMenu(QStringLiteral("Be&richte"));
    berichte->setObjectName(QStringLiteral("mnuBerichte"));
    add(berichte, "mnuBerichtsmanagement", QStringLiteral("Berichts&management"), false);

    QMenu* tools = mb->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    add(tools, "mnuDatenmigration", QStringLiteral("Daten&migration"), false)->setVisible(false);
    add(tools, "mnuIndexaktualisierung", QStringLiteral("&Indexaktualisierung"), false);

    QMenu* info = mb->addMenu(QStringLiteral("&Info"));
    info->setObjectName(QStringLiteral("mnuInfo"));
    add(info, "mnuInfoTallora", QStringLiteral("Info über Tallora"), false);
    QAction* web = add(info, "mnuWeb", QStringLiteral("Brenvik im Internet"), true);
    connect(web, &QAction::triggered, this, [] { platform::shellOpen(webAddress()); });
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

QString TfrmBrenvik::logText() const { return redLog->toPlainText(); }

void TfrmBrenvik::StartUp() {
    statusPanel_->setText(QStringLiteral("Brenvik Tallora V") + productVersion());
    sUserName = platform::loginName();
    WriteLog(QStringLiteral("BRV000100"), QStringLiteral("Angemeldeter Benutzer: ") + sUserName);
    try {
        OpenDatabaseFromConfig();
        ReadParameters();
        PageControl1->setCurrentIndex(0);
    } catch (const Exception& e) {
        WriteLog(QStringLiteral("BRV100010"), QStringLiteral("Fehler beim Öffnen der Datenbank.\r\nSystemmeldung: ") +
                                                  e.message());
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
        tvBrenvik->clear();
        auto* root = new QTreeWidgetItem(tvBrenvik, {QStringLiteral("Anwendungen")});
        root->setIcon(0, style()->standardIcon(QStyle::SP_ComputerIcon));
        auto* clients = new QTreeWidgetItem(root, {QStringLiteral("Mandanten")});
        clients->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
        for (const TBrenvikMandant& m : GetMandantenTreeList()) {
            auto* node = new QTreeWidgetItem(clients, {m.firma + QStringLiteral(" (") +
                                                       QString::number(m.mandant_nr) + QLatin1Char(')')});
            node->setIcon(0, style()->standardIcon(QStyle::SP_FileIcon));
            node->setData(0, Qt::UserRole, QString::number(m.mandant_nr));
        }
        root->setExpanded(true);
        clients->setExpanded(true);
    } catch (const std::exception& e) {
        sLastErrMsg = QString::fromUtf8(e.what());
        throw EBrvTreeViewLoad(QStringLiteral("Error initializing application tree"));
    }
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
