// Pictures of every window of the program as a user meets it: the main window started on an installation that
// holds a sample client, and each dialog opened from where the user opens it, with its data loaded. Every modal
// window runs through the program's one modal entry, so each is saved while it is up and then closed the way a
// user closes it. Writes OUT/NN_name.png and OUT/fenster.txt (each window's size, and whether it fits the screen).
//   brenvik-screenshots OUT     (BRENVIK_DATA_DIR: an installation prepared by tools/screenshots.sh)

#include "app/frm_brenvik.h"
#include "app/tab_gebaeude.h"
#include "app/tab_kundendaten.h"
#include "building/gebdata.h"
#include "building/gebprepare.h"
#include "building/gebtypes.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/fb.h"
#include "db/mandanten.h"
#include "platform/paths.h"
#include "platform/qt_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <map>

namespace {

QString gOut;
int gCount = 0;
QStringList gReport;
int gProblems = 0;

void settle() {
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents();
    }
}

void shoot(const QString& name, QWidget* w) {
    settle();
    const QString file = QStringLiteral("%1/%2_%3.png").arg(gOut).arg(++gCount, 2, 10, QLatin1Char('0')).arg(name);
    const QImage picture = w->window()->grab().toImage();
    picture.save(file);
    const QRect frame = w->window()->frameGeometry();
    // Room for the title bar and the frame the window system adds.
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size() - QSize(16, 40);
    const bool fits = frame.width() <= screen.width() && frame.height() <= screen.height();
    if (!fits)
        ++gProblems;
    gReport << QStringLiteral("%1\t%2 x %3\t%4")
                   .arg(QFileInfo(file).fileName())
                   .arg(frame.width())
                   .arg(frame.height())
                   .arg(fits ? QStringLiteral("passt") : QStringLiteral("ZU GROSS für den Bildschirm"));
    std::printf("%s\n", qPrintable(gReport.last()));
}

template <typename T>
T* find(QWidget& w, const char* name) {
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    if (!c) {
        ++gProblems;
        std::printf("  %s: kein Element %s\n", qPrintable(w.objectName()), name);
    }
    return c;
}

void click(QWidget& w, const char* name) {
    if (auto* b = find<QAbstractButton>(w, name))
        b->click();
}

// The first row of a list is selected, as the user's click would.
void selectFirst(QWidget& w, const char* name) {
    if (auto* tree = w.findChild<QTreeWidget*>(QString::fromLatin1(name))) {
        if (tree->topLevelItemCount() > 0) {
            tree->setCurrentItem(tree->topLevelItem(0));
            tree->topLevelItem(0)->setSelected(true);
        }
        return;
    }
    if (auto* table = w.findChild<QTableView*>(QString::fromLatin1(name))) {
        table->selectRow(0);
        return;
    }
    ++gProblems;
    std::printf("  %s: keine Liste %s\n", qPrintable(w.objectName()), name);
}

// What is done while a modal window is up, by its object name; the window is saved first and, unless the action
// says otherwise, left with "Abbrechen".
std::map<QString, std::function<int(QDialog&)>> gInside;

int runModal(QDialog& d) {
    d.show();
    settle();
    const QString name = d.objectName().isEmpty() ? QStringLiteral("Dialog") : d.objectName();
    shoot(name, &d);
    int result = QDialog::Rejected;
    const auto it = gInside.find(name);
    if (it != gInside.end())
        result = it->second(d);
    d.hide();
    d.setResult(result);
    return result;
}

// A platform question or file dialog is a window of its own event loop: saved and answered once it is up.
void whenUp(const QString& name, const std::function<void(QWidget*)>& answer) {
    auto* timer = new QTimer;
    timer->setInterval(100);
    QObject::connect(timer, &QTimer::timeout, [timer, name, answer] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        shoot(name, w);
        answer(w);
    });
    timer->start();
}

void sampleData(const QString& dataDir) {
    const int client = 1;
    TBrenvikAdresse a;
    a.brv_mandant_nr = 1;
    a.mandant_nr = client;
    a.adress_nr = GetNextAdressNr(client);
    a.adressbezeichnung = QStringLiteral("Werk Süd");
    a.strasse = QStringLiteral("Industriestraße");
    a.hausnummer = QStringLiteral("12");
    a.plz = QStringLiteral("70565");
    a.ort = QStringLiteral("Stuttgart");
    a.land = QStringLiteral("Deutschland");
    a.telefon1 = QStringLiteral("0711 123456");
    a.email1 = QStringLiteral("info@muster-metallbau.de");
    a.ansprechpartner = QStringLiteral("Frau Müller");
    a.standorttyp_nr = 1;
    SaveAdresse(a);
    TBrenvikKennzahlenHist k;
    k.brv_mandant_nr = 1;
    k.mandant_nr = client;
    k.bilanzjahr = qint16(QDate::currentDate().year() - 1);
    k.fertige_erz_bilanz = 1250000;
    k.unfertige_erz_bilanz = 480000;
    k.lager_bstoffe_bilanz = 9999999.99;
    k.fertige_erz_max = 1500000;
    k.unfertige_erz_max = 600000;
    k.lager_bstoffe_max = 350000;
    k.vorsorgesumme = 250000;
    k.endwertgrenze = 10;
    SaveKennzahlenHist(k);

    // The client's storage folder with a picture of its first asset.
    const QString folder = QDir(dataDir).filePath(QStringLiteral("kunde_1"));
    QDir().mkpath(folder);
    BrvExec(QStringLiteral("UPDATE MANDANTEN SET SICHERUNGSPFAD = ? WHERE MANDANT_NR = ?"), folder + QLatin1Char('/'),
            client);
    QImage pic(320, 240, QImage::Format_RGB32);
    pic.fill(QColor(225, 232, 240));
    {
        QPainter p(&pic);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(70, 110, 160));
        p.drawRoundedRect(40, 90, 240, 110, 10, 10);
        p.setBrush(QColor(200, 80, 40));
        p.drawEllipse(QPoint(100, 200), 28, 28);
        p.drawEllipse(QPoint(220, 200), 28, 28);
        p.setBrush(QColor(90, 90, 90));
        p.drawRect(150, 40, 30, 50);
    }
    pic.save(QDir(folder).filePath(QStringLiteral("pic_1.bmp")), "BMP");
    BrvExec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET DATEINAME_FOTO = 'pic_1.bmp' WHERE MANDANT_NR = ? AND "
                           "ANLAGE_NR = (SELECT MIN(ANLAGE_NR) FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ?)"),
            client, client);
    BrvCommit();

    // A building object with one building, its areas, a component and an elevator.
    const QString objekt =
        InsertGebObjekt(QStringLiteral("Werk Süd, Halle 1"), QString::number(client), QStringLiteral("70565"),
                        QStringLiteral("Stuttgart"), QStringLiteral("Industriestraße 12"));
    TGebObjekt o = GetGebObjekt(objekt);
    o.UstPflicht = true;
    UpdateGebObjekt(o);
    const QList<TGebType> types = GetGebTypes();
    TGebBuilding b(objekt);
    b.Caption = QStringLiteral("Produktionshalle");
    b.Art = types.isEmpty() ? QString() : types.first().GEBCAPTION;
    b.Versart = QStringLiteral("Neuwert");
    b.Zustand = QStringLiteral("Normale Instandhaltung");
    b.setBaujahr(QStringLiteral("1994"));
    b.Lebensdauer = 80;
    b.Richtpreis = 1150;
    b.Produkt = 2400 * 1150;
    InsertGebBuilding(b);
    TGebDimension d;
    d.PID = NewGuidText();
    d.DimGeb_FK = b.PID;
    d.DimCaption = QStringLiteral("Erdgeschoss");
    d.DimEinheit = QStringLiteral("m²");
    d.DimL = 60, d.DimB = 40, d.DimFlaeche = 2400;
    InsertGebDimension(d);
    const QList<TGebBauteil> parts = GetGebBauteile();
    TGebMeasure m;
    m.PID = NewGuidText();
    m.GebBuildingID = b.PID;
    m.Caption = parts.isEmpty() ? QStringLiteral("Sprinkleranlage") : parts.first().Caption;
    m.Einheit = QStringLiteral("Stück");
    m.MeasureCount = 2, m.Richtpreis = 12500, m.MeasureSum = 25000;
    InsertGebMeasure(m);
    const QList<TGebAufzug> lifts = GetGebAufzuege();
    TGebAufzugBestand e;
    e.PID = NewGuidText();
    e.OwnerID = b.PID;
    if (!lifts.isEmpty()) {
        e.AufzugCaption = lifts.first().AufzugCaption;
        e.Nutzlast = lifts.first().Nutzlast;
        e.Einheit = lifts.first().Einheit;
        e.Haltestellen = lifts.first().Haltestellen;
        e.Richtpreis = lifts.first().Maxpreis;
    } else {
        e.AufzugCaption = QStringLiteral("Lastenaufzug");
        e.Richtpreis = 48000;
    }
    e.Anzahl = 1;
    e.AufzugSumme = e.Richtpreis;
    InsertGebAufzugBestand(e);
    BrvCommit();
    // Valued as the building editor values it, so that the object window shows its totals.
    if (!types.isEmpty()) {
        b.Kosten = m.MeasureSum;
        b.Aufzugskosten = e.AufzugSumme;
        TGebPreparation prep;
        if (CalculateStoredGebBuilding(b, o, &types.first(), &prep)) {
            b.DeriveSaveTexts();
            UpdateGebBuilding(b);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    RegisterGebSchemaHooks();
    if (argc < 2) {
        std::fprintf(stderr, "Aufruf: brenvik-screenshots AUSGABEORDNER\n");
        return 2;
    }
    platform::preferGermanSystemLocale();
    QApplication app(argc, argv);
    platform::setUpApplication();
    platform::QtDialogs qtDialogs;
    platform::setDialogs(&qtDialogs);
    gOut = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(gOut);

    platform::setModalRunner(runModal);

    TfrmBrenvik w;
    w.StartUp();
    w.show();
    if (!BrvConnected()) {
        std::fprintf(stderr, "Die Datenbank ist nicht geöffnet:\n%s\n", qPrintable(w.logText()));
        return 1;
    }
    settle();
    shoot(QStringLiteral("Hauptfenster_Start"), &w);

    // The client is taken (its lock) before its data is written, then shown again with that data.
    auto* tree = w.findChild<QTreeWidget*>(QStringLiteral("tvBrenvik"));
    tree->expandAll();
    const auto clientNode = [tree] { return tree->topLevelItem(0)->child(0)->child(0); };
    tree->setCurrentItem(clientNode());
    w.TreeClick();
    sampleData(qEnvironmentVariable("BRENVIK_DATA_DIR"));
    tree->setCurrentItem(tree->topLevelItem(0));
    w.TreeClick();
    tree->setCurrentItem(clientNode());
    w.TreeClick();
    auto* tabs = w.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        shoot(QStringLiteral("Hauptfenster_") +
                  tabs->tabText(i).remove(QLatin1Char('&')).replace(QLatin1Char(' '), '_'),
              &w);
    }
    tabs->setCurrentIndex(0);

    // A question with the platform's own buttons, and the file dialog.
    whenUp(QStringLiteral("Frage"), [](QWidget* box) {
        for (QAbstractButton* b : box->findChildren<QAbstractButton*>())
            if (b->text().remove(QLatin1Char('&')) == QLatin1String("Nein"))
                b->click();
        box->close();
    });
    platform::dialogs().message(QStringLiteral("Soll die automatische Berechnung unterbrochen werden, falls ein "
                                               "Fehler während der Verarbeitung einer Anlage auftritt?"),
                                platform::MsgIcon::Question, platform::MsgButtons::YesNoCancel, &w);
    whenUp(QStringLiteral("Datei_oeffnen"), [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
    platform::dialogs().openFile(QStringLiteral("Importdatei auswählen"), qEnvironmentVariable("BRENVIK_DATA_DIR"),
                                 QStringLiteral("Excel-Arbeitsmappen (*.xlsx *.xls);;Textdateien (*.txt *.csv)"), &w);

    // The messages on the way (a note, a confirmation) take their default answer and are listed at the end.
    platform::ScriptedDialogs scripted;
    platform::setDialogs(&scripted);
    gInside[QStringLiteral("frm_VersWerte")] = [](QDialog& d) {
        selectFirst(d, "gridVersWerte");
        click(d, "btnBearbeiten");
        click(d, "btnIndextausch");
        return int(QDialog::Rejected);
    };
    gInside[QStringLiteral("frm_EditAsset")] = [](QDialog& d) {
        for (QPushButton* b : d.findChildren<QPushButton*>())
            if (b->text() == QLatin1String("...") || b->text() == QLatin1String("…") ||
                b->toolTip().contains(QLatin1String("Index"))) {
                b->click();
                break;
            }
        return int(QDialog::Rejected);
    };
    gInside[QStringLiteral("frm_ImportAssets")] = [](QDialog& d) {
        if (auto* type = find<QComboBox>(d, "cbbxFiletype"))
            type->setCurrentIndex(type->findText(QStringLiteral("Excel"), Qt::MatchContains));
        if (auto* file = find<QLineEdit>(d, "edFileName"))
            file->setText(QStringLiteral(BRENVIK_SOURCE_DIR "/data/Beispielanlagen.xlsx"));
        click(d, "btnPruefen");
        shoot(QStringLiteral("frm_ImportAssets_Vorschau"), &d);
        return int(QDialog::Rejected);
    };
    gInside[QStringLiteral("frm_Reports")] = [](QDialog& d) {
        selectFirst(d, "lvReports");
        if (auto* pdf = d.findChild<QCheckBox*>(QStringLiteral("cbxPDF")))
            pdf->setChecked(false);
        click(d, "btnStart");
        return int(QDialog::Rejected);
    };
    gInside[QStringLiteral("frm_RaveCustomSetup")] = [](QDialog& d) {
        if (auto* preview = find<QRadioButton>(d, "rbPreview"))
            preview->setChecked(true);
        return int(QDialog::Accepted);
    };
    gInside[QStringLiteral("FrameBuilding")] = [](QDialog& d) {
        selectFirst(d, "lvBuildings");
        click(d, "btnEdit");
        return int(QDialog::Rejected);
    };
    gInside[QStringLiteral("FrmBuilding")] = [](QDialog& d) {
        if (auto* scroll = d.findChild<QScrollArea*>(QStringLiteral("scrlGebaeude"))) {
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
            shoot(QStringLiteral("FrmBuilding_unten"), &d);
            scroll->verticalScrollBar()->setValue(0);
        }
        click(d, "btnShowGebTypeInfo");
        shoot(QStringLiteral("FrmBuilding_Gebaeudetyp"), &d);
        click(d, "btnHideGebTypeDetails");
        click(d, "btnProduktkosten");
        click(d, "btnKosten");
        click(d, "btnAufzugskosten");
        return int(QDialog::Rejected);
    };
    for (const char* list : {"FrmBuildingDimension", "FrmMeasure", "FrmGebAufzug"})
        gInside[QString::fromLatin1(list)] = [](QDialog& d) {
            if (auto* items = d.findChild<QTreeWidget*>()) {
                selectFirst(d, qPrintable(items->objectName()));
            }
            click(d, "btnEdit");
            return int(QDialog::Rejected);
        };

    auto* kunden = w.findChild<TTabKundendaten*>();
    kunden->LookUpBetriebsart();
    kunden->AddAddress();
    kunden->AddMeasures();
    w.RunClientFunction(workspace::ClientFunction::Versicherungswertermittlung);
    w.RunClientFunction(workspace::ClientFunction::Datenimport);
    w.RunClientFunction(workspace::ClientFunction::Berichte);
    tabs->setCurrentIndex(1);
    auto* gebaeude = w.findChild<TTabGebaeude*>();
    if (auto* objects = gebaeude->findChild<QTreeWidget*>()) {
        objects->setCurrentItem(objects->topLevelItem(0));
        if (objects->topLevelItem(0))
            objects->topLevelItem(0)->setSelected(true);
    }
    gebaeude->OpenSelectedObjekt();
    tabs->setCurrentIndex(0);
    w.SettingsClick();
    for (const char* action : {"mnuIndexaktualisierung", "mnuDatenmigration", "mnuInfoTallora"})
        if (auto* a = w.findChild<QAction*>(QString::fromLatin1(action)))
            a->trigger();

    QFile list(gOut + QStringLiteral("/fenster.txt"));
    if (list.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream s(&list);
        s << QStringLiteral("Bildschirm %1 x %2\n")
                 .arg(QGuiApplication::primaryScreen()->availableGeometry().width())
                 .arg(QGuiApplication::primaryScreen()->availableGeometry().height());
        for (const QString& line : std::as_const(gReport))
            s << line << '\n';
    }
    for (const QString& m : scripted.messages())
        std::printf("Meldung: %s\n", qPrintable(QString(m).replace(QStringLiteral("\r\n"), QStringLiteral(" / "))));
    platform::setModalRunner(nullptr);
    w.close();
    platform::setDialogs(&qtDialogs);
    fb::shutdownClient();
    std::printf("%d Bilder, %d Auffälligkeiten\n", gCount, gProblems);
    return gProblems == 0 ? 0 : 3;
}
