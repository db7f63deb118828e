#include "assets/frm_editasset.h"

#include "assets/asset_form.h"

#include "session/client_workspace.h"
#include "assets/frm_index.h"
#include "platform/ui_common.h"
#include "assets/picture.h"
#include "assets/valuation.h"
#include "db/brenvik_config.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/indexwerte.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "platform/qt_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

const QString kNv = QStringLiteral("n.v.");

void say(const QString& text, MsgIcon icon, QWidget* parent, MsgButtons buttons = MsgButtons::Ok) {
    platform::dialogs().message(text, icon, buttons, parent);
}

} // namespace

QLineEdit* Tfrm_EditAsset::line(const char* name) {
    auto* e = new QLineEdit;
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

QCheckBox* Tfrm_EditAsset::check(const char* name, const QString& text) {
    auto* c = new QCheckBox(text);
    c->setObjectName(QString::fromLatin1(name));
    return c;
}

Tfrm_EditAsset::Tfrm_EditAsset(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_EditAsset"));
    setWindowTitle(QStringLiteral("Anlage bearbeiten"));
    UiFitToScreen(this, QSize(1000, 680));
    auto* top = new QVBoxLayout(this);
    grpMandant_ = new QGroupBox;
    grpMandant_->setObjectName(QStringLiteral("grpMandant"));
    auto* columns = new QHBoxLayout(grpMandant_);
    auto* left = new QFormLayout;
    columns->addLayout(left, 3);

    // The values as first imported, in small print under their fields.
    auto originalRow = [](const QString& caption, QLabel* value) {
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        auto* c = new QLabel(caption);
        for (QLabel* l : {c, value}) {
            QFont f = l->font();
            f.setPointSizeF(f.pointSizeF() * 0.9);
            l->setFont(f);
            l->setForegroundRole(QPalette::PlaceholderText);
        }
        h->addWidget(c);
        h->addWidget(value, 1);
        return row;
    };
    auto* numbers = new QHBoxLayout;
    edAnlage_nr = line("edAnlage_nr");
    edAnlage_Subnr = line("edAnlage_Subnr");
    for (QLineEdit* e : {edAnlage_nr, edAnlage_Subnr}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setMaximumWidth(90);
        numbers->addWidget(e);
    }
    numbers->addStretch(1);
    left->addRow(QStringLiteral("Anlagenummer:"), numbers);
    edKonto_nr = line("edKonto_nr");
    edKonto_nr->setMaxLength(50);
    left->addRow(QStringLiteral("Kontonummer:"), edKonto_nr);
    edAnlagebezeichnung = line("edAnlagebezeichnung");
    edAnlagebezeichnung->setMaxLength(500);
    left->addRow(QStringLiteral("Anlagebezeichnung:"), edAnlagebezeichnung);
    lbOrgBezeichnung = new QLabel(kNv);
    lbOrgBezeichnung->setObjectName(QStringLiteral("lbOrgBezeichnung"));
    left->addRow(originalRow(QStringLiteral("Originalwert der Anlagebezeichnung: "), lbOrgBezeichnung));
    edAnschaffungsdatum = line("edAnschaffungsdatum");
    left->addRow(QStringLiteral("Anschaffungsdatum:"), edAnschaffungsdatum);
    lbOrgDatum = new QLabel(kNv);
    lbOrgDatum->setObjectName(QStringLiteral("lbOrgDatum"));
    left->addRow(originalRow(QStringLiteral("Originalwert des Anschaffungsdatums: "), lbOrgDatum));
    edAHK = line("edAHK");
    UiAmountWidth(edAHK);
    left->addRow(QStringLiteral("Anschaffungs-/Herstellungskosten:"), edAHK);
    lbOrgAHK = new QLabel(kNv);
    lbOrgAHK->setObjectName(QStringLiteral("lbOrgAHK"));
    left->addRow(originalRow(QStringLiteral("Originalwert der Anschaffungs-/Herstellungskosten: "), lbOrgAHK));

    auto valueRow = [&](const QString& label, QLineEdit*& ed, const char* name, QPushButton** btn,
                        const QString& btnText, const char* btnName) {
        auto* h = new QHBoxLayout;
        ed = line(name);
        ed->setAlignment(Qt::AlignRight);
        UiAmountWidth(ed);
        h->addWidget(ed, 1);
        if (btn) {
            *btn = new QPushButton(btnText);
            (*btn)->setObjectName(QString::fromLatin1(btnName));
            (*btn)->setAutoDefault(false);
            h->addWidget(*btn);
        }
        left->addRow(label, h);
    };
    valueRow(QStringLiteral("Versicherungswert:"), edVersWert, "edVersWert", &btnVersWert,
             QStringLiteral("Versicherungswert ermitteln"), "btnVersWert");
    valueRow(QStringLiteral("Gemeiner Wert:"), edGemeiner_Wert, "edGemeiner_Wert", nullptr, {}, nullptr);
    valueRow(QStringLiteral("Zeitwert:"), edZeitwert, "edZeitwert", &btnZeitwert, QStringLiteral("Zeitwert ermitteln"),
             "btnZeitwert");
    edAHK->setAlignment(Qt::AlignRight);
    edNutzungsdauer = line("edNutzungsdauer");
    edNutzungsdauer->setMaximumWidth(90);
    left->addRow(QStringLiteral("Nutzungsdauer:"), edNutzungsdauer);
    QPushButton* btnIndex = nullptr;
    left->addRow(QStringLiteral("Index:"), IndexRow(edKategorieNr, btnIndex, lbIndexbezeichnung));
    edAbgangsjahr = line("edAbgangsjahr");
    edAbgangsjahr->setMaximumWidth(90);
    left->addRow(QStringLiteral("Abgangsjahr:"), edAbgangsjahr);
    cbbxGruppe = new QComboBox;
    cbbxGruppe->setObjectName(QStringLiteral("cbbxGruppe"));
    cbbxGruppe->setEditable(true);
    left->addRow(QStringLiteral("Gruppe:"), cbbxGruppe);
    memNotiztext = new QPlainTextEdit;
    memNotiztext->setObjectName(QStringLiteral("memNotiztext"));
    memNotiztext->setMaximumHeight(70);
    memNotiztext->setTabChangesFocus(true);
    left->addRow(QStringLiteral("Notiztext:"), memNotiztext);
    cbbxNotes = new QComboBox;
    cbbxNotes->setObjectName(QStringLiteral("cbbxNotes"));
    left->addRow(QStringLiteral("Auswahl gespeicherter Notizen:"), cbbxNotes);
    cbbxAdresse = new QComboBox;
    cbbxAdresse->setObjectName(QStringLiteral("cbbxAdresse"));
    left->addRow(QStringLiteral("Adresse:"), cbbxAdresse);
    cbxAnlagentyp = new QComboBox;
    cbxAnlagentyp->setObjectName(QStringLiteral("cbxAnlagentyp"));
    left->addRow(QStringLiteral("Anlagentyp:"), cbxAnlagentyp);

    auto* right = new QVBoxLayout;
    columns->addLayout(right, 2);
    cbxElektronik_Vers = check("cbxElektronik_Vers", QStringLiteral("Elektronikversicherung"));
    cbxMaschinen_Vers = check("cbxMaschinen_Vers", QStringLiteral("Maschinenversicherung"));
    cbxLagerung_Aussen = check("cbxLagerung_Aussen", QStringLiteral("Lagerung/Nutzung überwiegend im Freien"));
    cbxBearbeitung = check("cbxBearbeitung", QStringLiteral("Bearbeitungskennzeichen"));
    cbxGebaeude = check("cbxGebaeude", QStringLiteral("Gebäude"));
    cbxSoftware = check("cbxSoftware", QStringLiteral("Software"));
    cbxLeasing = check("cbxLeasing", QStringLiteral("Leasing (Anlage ist geleast)"));
    cbxGemietet = check("cbxGemietet", QStringLiteral("Miete (Anlage ist gemietet)"));
    cbxFeste_Taxe = check("cbxFeste_Taxe", QStringLiteral("Feste Taxe gem. § 76 VVG [2008]"));
    for (QCheckBox* c : {cbxElektronik_Vers, cbxMaschinen_Vers, cbxLagerung_Aussen, cbxBearbeitung, cbxGebaeude,
                         cbxSoftware, cbxLeasing, cbxGemietet, cbxFeste_Taxe})
        right->addWidget(c);
    auto* delRow = new QHBoxLayout;
    cbxGeloescht = check("cbxGeloescht", QStringLiteral("Anlage ist als gelöscht markiert"));
    cbxGeloescht->setAttribute(Qt::WA_TransparentForMouseEvents);
    cbxGeloescht->setFocusPolicy(Qt::NoFocus);
    delRow->addWidget(cbxGeloescht);
    btnLoeschmarkierung = new QPushButton(QStringLiteral("Löschmarkierung zurücknehmen/setzen"));
    btnLoeschmarkierung->setObjectName(QStringLiteral("btnLoeschmarkierung"));
    btnLoeschmarkierung->setAutoDefault(false);
    delRow->addWidget(btnLoeschmarkierung);
    right->addLayout(delRow);
    imgAsset = new QLabel;
    imgAsset->setObjectName(QStringLiteral("imgAsset"));
    imgAsset->setMinimumSize(220, 160);
    imgAsset->setAlignment(Qt::AlignCenter);
    imgAsset->setFrameShape(QFrame::StyledPanel);
    right->addWidget(imgAsset, 1);
    auto* picButtons = new QHBoxLayout;
    auto picButton = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        picButtons->addWidget(b);
        return b;
    };
    auto* btnBildAuswaehlen = picButton(QStringLiteral("Bild auswählen"), "btnBildAuswaehlen");
    auto* btnBildEntfernen = picButton(QStringLiteral("Bild entfernen"), "btnBildEntfernen");
    auto* btnBildOriginal = picButton(QStringLiteral("Bild in Originalgröße anzeigen"), "btnBildOriginal");
    right->addLayout(picButtons);
    top->addWidget(grpMandant_, 1);

    auto* bottom = new QHBoxLayout;
    btnVoriger = new QPushButton(QStringLiteral("Voriger Datensatz"));
    btnVoriger->setObjectName(QStringLiteral("btnVoriger"));
    btnVoriger->setToolTip(QStringLiteral("Aktuelle Änderungen speichern und vorigen Datensatz anzeigen "));
    btnNaechster = new QPushButton(QStringLiteral("Nächster Datensatz"));
    btnNaechster->setObjectName(QStringLiteral("btnNaechster"));
    btnNaechster->setToolTip(QStringLiteral("Aktuelle Änderungen speichern und nächsten Datensatz anzeigen "));
    auto* btnAbbrechen = new QPushButton(QStringLiteral("Abbrechen"));
    btnAbbrechen->setObjectName(QStringLiteral("btnAbbrechen"));
    auto* btnSpeichern = new QPushButton(QStringLiteral("Speichern"));
    btnSpeichern->setObjectName(QStringLiteral("btnSpeichern"));
    for (QPushButton* b : {btnVoriger, btnNaechster, btnAbbrechen, btnSpeichern})
        b->setAutoDefault(false);
    bottom->addWidget(btnVoriger);
    bottom->addWidget(btnNaechster);
    bottom->addStretch(1);
    bottom->addWidget(btnAbbrechen);
    bottom->addWidget(btnSpeichern);
    top->addLayout(bottom);

    // The full-size picture lies over the whole window.
    pnlOriginal_ = new QWidget(this);
    pnlOriginal_->setObjectName(QStringLiteral("pnlOriginal"));
    pnlOriginal_->setAutoFillBackground(true);
    auto* pl = new QVBoxLayout(pnlOriginal_);
    imgOriginal_ = new QLabel;
    imgOriginal_->setObjectName(QStringLiteral("imgOriginal"));
    imgOriginal_->setAlignment(Qt::AlignCenter);
    pl->addWidget(imgOriginal_, 1);
    auto* hide = new QPushButton(QStringLiteral("Ausblenden"));
    hide->setObjectName(QStringLiteral("btnAusblenden"));
    pl->addWidget(hide, 0, Qt::AlignHCenter);
    pnlOriginal_->hide();

    connect(btnIndex, &QPushButton::clicked, this, &Tfrm_EditAsset::IndexLookUp);
    connect(edKategorieNr, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (t.size() > 2)
            IndexCheck(true);
    });
    connect(btnVersWert, &QPushButton::clicked, this, &Tfrm_EditAsset::CalcVersWertClick);
    connect(btnZeitwert, &QPushButton::clicked, this, &Tfrm_EditAsset::CalcZeitWertClick);
    connect(cbxFeste_Taxe, &QCheckBox::clicked, this, &Tfrm_EditAsset::FesteTaxeClick);
    connect(cbbxNotes, qOverload<int>(&QComboBox::activated), this,
            [this](int i) { memNotiztext->setPlainText(cbbxNotes->itemData(i).toString()); });
    connect(btnLoeschmarkierung, &QPushButton::clicked, this, &Tfrm_EditAsset::LoeschmarkierungClick);
    connect(btnBildAuswaehlen, &QPushButton::clicked, this, &Tfrm_EditAsset::SelectImage);
    connect(btnBildEntfernen, &QPushButton::clicked, this, &Tfrm_EditAsset::RemoveImage);
    connect(btnBildOriginal, &QPushButton::clicked, this, &Tfrm_EditAsset::ShowOriginalSize);
    connect(hide, &QPushButton::clicked, pnlOriginal_, &QWidget::hide);
    connect(btnVoriger, &QPushButton::clicked, this, &Tfrm_EditAsset::VorigerClick);
    connect(btnNaechster, &QPushButton::clicked, this, &Tfrm_EditAsset::NaechsterClick);
    connect(btnAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnSpeichern, &QPushButton::clicked, this, &Tfrm_EditAsset::SpeichernClick);
    auto* f3 = new QShortcut(QKeySequence(Qt::Key_F3), this);
    f3->setContext(Qt::WindowShortcut);
    connect(f3, &QShortcut::activated, this, &Tfrm_EditAsset::F3);
}

void Tfrm_EditAsset::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_EditAsset::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    pnlOriginal_->setGeometry(rect());
}

void Tfrm_EditAsset::FormShow() {
    bSave = false;
    LoadAsset();
}

void Tfrm_EditAsset::clearFields() {
    for (QLineEdit* e : {edAnlage_nr, edAnlage_Subnr, edKonto_nr, edAnlagebezeichnung, edAnschaffungsdatum, edAHK,
                         edVersWert, edGemeiner_Wert, edZeitwert, edNutzungsdauer, edKategorieNr, edAbgangsjahr})
        e->clear();
    for (QCheckBox* c : {cbxElektronik_Vers, cbxMaschinen_Vers, cbxLagerung_Aussen, cbxBearbeitung, cbxGebaeude,
                         cbxSoftware, cbxLeasing, cbxGemietet, cbxFeste_Taxe, cbxGeloescht})
        c->setChecked(false);
    edVersWert->setEnabled(true);
    btnVersWert->setEnabled(true);
    lbIndexbezeichnung->clear();
    for (QLabel* l : {lbOrgBezeichnung, lbOrgDatum, lbOrgAHK})
        l->setText(kNv);
    memNotiztext->clear();
    cbbxGruppe->clear();
    cbbxNotes->clear();
    cbbxAdresse->clear();
    cbxAnlagentyp->clear();
    fileNamePicture.clear();
    picture_ = QPixmap();
    imgAsset->clear();
    btnLoeschmarkierung->setEnabled(false);
    storedQuelle_.clear();
    storedUpdateCheck_.clear();
    storedListenpreis_ = 0;
    storedUmbasiert_ = 0;
}

void Tfrm_EditAsset::fillLists(int adressNr, const QString& gruppe, int anlagentyp) {
    cbbxAdresse->addItem(QStringLiteral("<leer>"), 0);
    if (const auto addresses = GetAdressen(iClientID))
        for (const TBrenvikAdresse& a : *addresses)
            cbbxAdresse->addItem(a.adressbezeichnung, a.adress_nr);
    cbbxAdresse->setCurrentIndex(std::max(0, cbbxAdresse->findData(adressNr)));
    cbbxGruppe->addItems(GetGruppen(iClientID));
    cbbxGruppe->setCurrentIndex(-1);
    cbbxGruppe->setEditText(gruppe);
    if (const auto types = GetAnlagentypen())
        for (const TBrenvikAnlagentyp& t : *types)
            cbxAnlagentyp->addItem(t.bezeichnung, t.id);
    cbxAnlagentyp->setCurrentIndex(cbxAnlagentyp->findData(anlagentyp));
    try {
        for (const TBrenvikNotes& n : GetNotizen(iClientID))
            cbbxNotes->addItem(n.notiztext_kurz, n.notiztext);
    } catch (const Exception& e) {
        say(e.message(), MsgIcon::None, this);
    }
    cbbxNotes->setCurrentIndex(-1);
}

void Tfrm_EditAsset::LoadAsset() {
    try {
        clearFields();
        grpMandant_->setTitle(QStringLiteral("Mandant  ") + LiteralCaption(sClientName));
        const int maxNr = GetMaxAnlageNrFiltered(iClientID, bAHK, bVWVal, bToDos);
        const int minNr = GetMinAnlageNrFiltered(iClientID, bAHK, bVWVal, bToDos);
        edAnlage_nr->setText(QString::number(iAnlageNr));
        edAnlage_Subnr->setText(QString::number(iAnlageSubNr));
        if (bAdd) {
            btnNaechster->setEnabled(iAnlageSubNr <= 0);
            btnVoriger->setEnabled(false);
            edKonto_nr->setText(presetKonto_);
            fillLists(0, QString(), -1);
            return;
        }
        const bool main = iAnlageSubNr <= 0;
        btnNaechster->setEnabled(main && iAnlageNr < maxNr);
        btnVoriger->setEnabled(main && minNr < iAnlageNr);
        TBrenvikVersWerte r;
        GetVersWert(iClientID, iAnlageNr, iAnlageSubNr, r);
        edKonto_nr->setText(r.konto_nr);
        edAnlagebezeichnung->setText(r.anlagebezeichnung);
        edAnschaffungsdatum->setText(ShortDateText(r.anschaffungsdatum));
        edAHK->setText(FormatAmount(r.ahk));
        edVersWert->setText(FormatAmount(r.versicherungswert));
        edGemeiner_Wert->setText(FormatAmount(r.gemeiner_wert));
        edZeitwert->setText(FormatAmount(r.zeitwert));
        edNutzungsdauer->setText(QString::number(r.nutzungsdauer));
        edAbgangsjahr->setText(QString::number(r.abgangsjahr));
        memNotiztext->setPlainText(r.notiztext.trimmed());
        const std::pair<QCheckBox*, const QString*> flags[] = {{cbxElektronik_Vers, &r.elektronik_vers},
                                                               {cbxMaschinen_Vers, &r.maschinen_vers},
                                                               {cbxLagerung_Aussen, &r.lagerung_aussen},
                                                               {cbxBearbeitung, &r.bearbeitung},
                                                               {cbxGebaeude, &r.gebaeude},
                                                               {cbxSoftware, &r.software},
                                                               {cbxLeasing, &r.leasing},
                                                               {cbxGemietet, &r.gemietet},
                                                               {cbxFeste_Taxe, &r.feste_taxe},
                                                               {cbxGeloescht, &r.geloescht}};
        for (const auto& [box, value] : flags)
            box->setChecked(*value == QLatin1String("1"));
        edVersWert->setEnabled(!cbxFeste_Taxe->isChecked());
        btnVersWert->setEnabled(!cbxFeste_Taxe->isChecked());
        if (!r.anlagebezeichnung_org.isEmpty())
            lbOrgBezeichnung->setText(r.anlagebezeichnung_org);
        if (r.anschaffungsdatum_org != 0)
            lbOrgDatum->setText(ShortDateText(r.anschaffungsdatum_org));
        if (r.ahk_org != 0)
            lbOrgAHK->setText(FormatAmount(r.ahk_org));
        btnLoeschmarkierung->setEnabled(true);
        storedQuelle_ = r.quelle;
        storedUpdateCheck_ = r.update_check;
        storedListenpreis_ = r.listenpreis;
        storedUmbasiert_ = r.kategorie_nr_umbasiert;
        fileNamePicture = r.dateiname_foto;
        LoadImage();
        edKategorieNr->setText(QString::number(r.kategorie_nr));
        if (edKategorieNr->text().size() > 2)
            IndexCheck(true);
        IndexCheck(false);
        fillLists(r.adress_nr, r.gruppe, r.anlagentyp_id);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void Tfrm_EditAsset::IndexCheck(bool withMessage) {
    try {
        bool ok = false;
        const int kat = edKategorieNr->text().trimmed().toInt(&ok);
        if (!ok) {
            lbIndexbezeichnung->clear();
            return;
        }
        const TDateTime date = TextToDate(edAnschaffungsdatum->text());
        TBrenvikIndexBeschr b;
        GetIndexBeschreibung(kat, b);
        const double iAns = GetIndexwert(kat, date);
        const double iRef = GetIndexwert(kat, Bezugsdatum(GetMaxIndexjahr()));
        if (iAns > 0 && iRef > 0) {
            lbIndexbezeichnung->setText(b.index_text);
            return;
        }
        lbIndexbezeichnung->clear();
        if (withMessage)
            say(QStringLiteral(
                    "Bitte prüfen Sie den eingegebenen Index. \r\nEs wurden keine gültigen Indexwerte zu dem "
                    "Anschaffungsdatum \r\noder dem aktuellen Jahr gefunden."),
                MsgIcon::Information, this);
    } catch (const Exception&) {
        lbIndexbezeichnung->clear();
    }
}

void Tfrm_EditAsset::IndexLookUp() {
    Tfrm_SelectIdxCategory d(this);
    d.lbAnlagebezeichnung->setText(edAnlagebezeichnung->text());
    try {
        d.iIndexJahr = YearOf(TextToDate(edAnschaffungsdatum->text()));
    } catch (const Exception&) {
        d.iIndexJahr = 0;
    }
    if (platform::execModal(d) != QDialog::Accepted)
        return;
    edKategorieNr->setText(QString::number(d.iKategorieNr));
    IndexCheck(true);
}

void Tfrm_EditAsset::CalcVersWertClick() {
    if (!IsInteger(edKategorieNr->text()) || !IsFloat(edAHK->text())) {
        say(QStringLiteral("Der Versicherungswert kann nicht errechnet werden.\r\nBitte prüfen Sie die Anschaffungs-/ "
                           "Herstellungskosten und den gewählten Index."),
            MsgIcon::Warning, this);
        return;
    }
    TDateTime date = 0, bezugsdatum = 0;
    try {
        date = TextToDate(edAnschaffungsdatum->text());
        bezugsdatum = Bezugsdatum(GetMaxIndexjahr());
    } catch (const Exception&) {
        say(QStringLiteral("Der Versicherungswert kann nicht errechnet werden.\r\nBitte überprüfen Sie das "
                           "Anschaffungsdatum."),
            MsgIcon::Warning, this);
        return;
    }
    try {
        const double faktor = bVAT ? 1.0 : GetMwstFaktor(date, BrvNow());
        const double vw = CalcVersWert(iClientID, edKategorieNr->text().trimmed().toInt(), TextToFloat(edAHK->text()),
                                       date, bezugsdatum, faktor);
        edVersWert->setText(FormatAmount(vw));
    } catch (const EBrvCalcVWError& e) {
        say(e.message(), MsgIcon::Warning, this);
    } catch (const Exception& e) {
        say(QStringLiteral("Fehler bei der Ermittlung des Versicherungswertes.\r\nFehlermeldung: ") + e.message(),
            MsgIcon::Error, this);
    }
}

void Tfrm_EditAsset::CalcZeitWertClick() {
    if (!IsInteger(edKategorieNr->text()) || !IsFloat(edVersWert->text()) || !IsInteger(edNutzungsdauer->text())) {
        edZeitwert->setFocus();
        say(QStringLiteral("Der Zeitwert kann nicht errechnet werden.\r\nBitte prüfen Sie den Versicherungswert, die "
                           "Nutzungsdauer und den gewählten Index."),
            MsgIcon::Warning, this);
        return;
    }
    TDateTime date = 0;
    try {
        date = TextToDate(edAnschaffungsdatum->text());
    } catch (const Exception&) {
        edZeitwert->setFocus();
        say(QStringLiteral("Der Zeitwert kann nicht errechnet werden.\r\nBitte überprüfen Sie das Anschaffungsdatum."),
            MsgIcon::Warning, this);
        return;
    }
    try {
        const double zw = CalcZeitWert(edNutzungsdauer->text().trimmed().toInt(),
                                       edKategorieNr->text().trimmed().toInt(), TextToFloat(edVersWert->text()), date);
        edZeitwert->setText(FormatAmount(zw));
    } catch (const EBrvCalcZWError& e) {
        edZeitwert->setFocus();
        say(QStringLiteral("Fehler bei der Zeitwertermittlung.\r\nFehlermeldung: ") + e.message(), MsgIcon::Warning,
            this);
    } catch (const Exception& e) {
        say(QStringLiteral("Systemfehler bei der Ermittlung des Zeitwertes.\r\nFehlermeldung: ") + e.message(),
            MsgIcon::Error, this);
    }
}

void Tfrm_EditAsset::FesteTaxeClick() {
    const bool fixed = cbxFeste_Taxe->isChecked();
    if (fixed)
        edVersWert->setText(edAHK->text());
    edVersWert->setEnabled(!fixed);
    btnVersWert->setEnabled(!fixed);
}

void Tfrm_EditAsset::F3() {
    CalcVersWertClick();
    NaechsterClick();
    edKategorieNr->setFocus();
}

bool Tfrm_EditAsset::SaveAsset() {
    edAnschaffungsdatum->setText(edAnschaffungsdatum->text().replace(QLatin1Char('/'), QLatin1Char('.')));
    AssetForm f;
    f.kontoNr = edKonto_nr->text();
    f.anlagebezeichnung = edAnlagebezeichnung->text();
    f.anschaffungsdatum = edAnschaffungsdatum->text();
    f.ahk = edAHK->text();
    f.versWert = edVersWert->text();
    f.gemeinerWert = edGemeiner_Wert->text();
    f.zeitwert = edZeitwert->text();
    f.nutzungsdauer = edNutzungsdauer->text();
    f.kategorieNr = edKategorieNr->text();
    f.abgangsjahr = edAbgangsjahr->text();
    f.gruppe = cbbxGruppe->currentText();
    f.notiztext = memNotiztext->toPlainText();
    f.dateinameFoto = fileNamePicture;
    f.adressNr = cbbxAdresse->currentIndex() >= 0 ? cbbxAdresse->currentData().toInt() : 0;
    f.anlagentypId = cbxAnlagentyp->currentIndex() >= 0 ? cbxAnlagentyp->currentData().toInt() : 0;
    f.elektronikVers = cbxElektronik_Vers->isChecked();
    f.maschinenVers = cbxMaschinen_Vers->isChecked();
    f.lagerungAussen = cbxLagerung_Aussen->isChecked();
    f.bearbeitung = cbxBearbeitung->isChecked();
    f.gebaeude = cbxGebaeude->isChecked();
    f.software = cbxSoftware->isChecked();
    f.leasing = cbxLeasing->isChecked();
    f.gemietet = cbxGemietet->isChecked();
    f.festeTaxe = cbxFeste_Taxe->isChecked();
    f.geloescht = cbxGeloescht->isChecked();
    TBrenvikVersWerte r;
    try {
        if (const std::optional<AssetFormError> refused = AssembleAssetRecord(f, r)) {
            if (auto* field = findChild<QWidget*>(refused->field))
                field->setFocus();
            say(QStringLiteral("Es trat ein Fehler beim Überprüfen der eingegebenen Werte auf:\r\nFehlermeldung: ") +
                    refused->text,
                MsgIcon::Warning, this, MsgButtons::Cancel);
            return false;
        }
    } catch (const std::exception& e) {
        say(QStringLiteral("Während der Plausibilitätsprüfung trat ein schwerer Fehler auf.\r\nSystemmeldung: ") +
                QString::fromUtf8(e.what()),
            MsgIcon::Error, this);
        return false;
    }
    r.brv_mandant_nr = 1;
    r.mandant_nr = iClientID;
    r.anlage_nr = iAnlageNr;
    r.anlage_sub_nr = iAnlageSubNr;
    // An edited asset keeps where it came from and whether the latest import saw it; a new one is hand-entered.
    r.quelle = bAdd ? QStringLiteral("MANUELL") : storedQuelle_;
    r.update_check = bAdd ? QString() : storedUpdateCheck_;
    r.listenpreis = bAdd ? 0 : storedListenpreis_;
    r.kategorie_nr_umbasiert = bAdd ? 0 : storedUmbasiert_;
    try {
        SaveVersWert(r);
    } catch (const Exception&) {
        say(QStringLiteral("Fehler beim Zugriff auf die Datenbank. Bitte wiederholen Sie den Vorgang.\r\nSollte das "
                           "Problem weiterhin bestehen, informieren Sie bitte Ihren Administrator."),
            MsgIcon::Error, this);
        return false;
    }
    bSave = true;
    return true;
}

void Tfrm_EditAsset::SpeichernClick() {
    if (SaveAsset())
        accept();
}

void Tfrm_EditAsset::browseTo(int anlageNr) {
    iAnlageNr = anlageNr;
    iAnlageSubNr = 0;
    bAdd = false;
    LoadAsset();
}

void Tfrm_EditAsset::NaechsterClick() {
    if (!btnNaechster->isEnabled() || !SaveAsset())
        return;
    const QString lead = QStringLiteral("Fehler bei der Ermittlung des nächsten Datensatzes aus der Datenbank.\r\n");
    try {
        if (bAdd) {
            // The next new asset takes the next free number, never the one just saved.
            const QString konto = presetKonto_;
            iAnlageNr = GetMaxAnlageNr(iClientID) + 1;
            iAnlageSubNr = 0;
            presetKonto_.clear();
            LoadAsset();
            presetKonto_ = konto;
            return;
        }
        int next = GetNeighbourAnlageNr(iClientID, iAnlageNr, true, bAHK, bVWVal, bToDos);
        if (next == 0)
            next = GetNeighbourAnlageNr(iClientID, 1, true, bAHK, bVWVal, bToDos);
        if (next == 0) {
            say(lead + QStringLiteral("Bitte wiederholen Sie den Vorgang. Falls der Fehler weiterhin besteht, \r\n"
                                      "informieren Sie bitte Ihren Administrator."),
                MsgIcon::Error, this, MsgButtons::Cancel);
            return;
        }
        browseTo(next);
    } catch (const EBrvException_DBERROR& e) {
        say(lead + QStringLiteral("Systemmeldung: ") + e.message(), MsgIcon::Error, this, MsgButtons::Cancel);
    } catch (const Exception& e) {
        say(lead + QStringLiteral("Bitte informieren Sie den Software-Support.\r\n\r\nSystemmeldung: ") + e.message(),
            MsgIcon::Error, this, MsgButtons::Cancel);
    }
}

void Tfrm_EditAsset::VorigerClick() {
    if (!btnVoriger->isEnabled() || !SaveAsset())
        return;
    const QString lead = QStringLiteral("Fehler bei der Ermittlung des nächsten Datensatzes aus der Datenbank.\r\n");
    try {
        int prev = GetNeighbourAnlageNr(iClientID, iAnlageNr, false, bAHK, bVWVal, bToDos);
        if (prev == 0)
            prev = GetMaxAnlageNr(iClientID);
        if (prev == 0) {
            say(lead + QStringLiteral("Bitte wiederholen Sie den Vorgang. Falls der Fehler weiterhin besteht, \r\n"
                                      "informieren Sie bitte Ihren Administrator."),
                MsgIcon::Error, this, MsgButtons::Cancel);
            return;
        }
        browseTo(prev);
    } catch (const EBrvException_DBERROR& e) {
        say(lead + QStringLiteral("Systemmeldung: ") + e.message(), MsgIcon::Error, this, MsgButtons::Cancel);
    } catch (const Exception& e) {
        say(lead + QStringLiteral("Bitte informieren Sie den Softwarehersteller.\r\n\r\nSystemmeldung: ") + e.message(),
            MsgIcon::Error, this, MsgButtons::Cancel);
    }
}

void Tfrm_EditAsset::LoeschmarkierungClick() {
    if (platform::dialogs().message(
            QStringLiteral(
                "Bitte bestätigen Sie die Aktivieren/ Reaktivieren der gewählten Anlage.\r\n\r\nDie Änderungen "
                "werden erst durch das Speichern dieser Anlage wirksam.\r\nDer Speichervorgang wird durch die "
                "Funktion <Speichern> als auch durch die \r\nFunktionen <Nächster>/<Voriger Datensatz> "
                "ausgelöst."),
            MsgIcon::Question, MsgButtons::OkCancel, this) != MsgResult::Ok)
        return;
    cbxGeloescht->setChecked(!cbxGeloescht->isChecked());
    btnLoeschmarkierung->setEnabled(false);
    try {
        SetLoeschmarkierung(iClientID, iAnlageNr, iAnlageSubNr, cbxGeloescht->isChecked());
    } catch (const Exception& e) {
        say(e.message(), MsgIcon::Error, this);
    }
}

QString Tfrm_EditAsset::GetMandantImageFolder() {
    try {
        QString flag;
        try {
            // The one authoritative configuration file decides, as for the client's other files.
            flag = workspace::UseBackupFolderDbFlag();
        } catch (const Exception& e) {
            say(QStringLiteral("Die Brenvik-Konfiguration konnte nicht gelesen werden.\r\nSystemnachricht: ") +
                    e.message(),
                MsgIcon::None, this);
        }
        QString folder = workspace::ClientStorageFolder(iClientID, flag);
        if (QDir(folder).exists())
            return folder;
        say(QStringLiteral("Fehler beim Laden der Bilddatei: Verzeichnis \"") + folder +
                QStringLiteral("\" existiert nicht."),
            MsgIcon::None, this);
        return {};
    } catch (const Exception& e) {
        say(QStringLiteral("GetMandantImageFolder - Fehler beim Laden der Bilddatei: ") + e.message(), MsgIcon::None,
            this);
        return {};
    }
}

void Tfrm_EditAsset::LoadImage() {
    picture_ = QPixmap();
    imgAsset->clear();
    if (fileNamePicture.isEmpty())
        return;
    const QString folder = GetMandantImageFolder();
    if (folder.isEmpty())
        return;
    QPixmap p;
    if (!p.load(folder + fileNamePicture)) {
        say(QStringLiteral("LoadImage: Fehler beim Laden der Bilddatei: \r\n") +
                QStringLiteral("Die Datei %1 ist kein lesbares Bild.").arg(folder + fileNamePicture),
            MsgIcon::None, this);
        return;
    }
    picture_ = p;
    imgAsset->setPixmap(p.scaled(imgAsset->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void Tfrm_EditAsset::SelectImage() {
    const QString source = platform::dialogs().openFile(
        QStringLiteral("Bild auswählen"), {},
        QStringLiteral(
            "Alle (*.jpg *.jpeg *.bmp);;JPEG-Grafikdatei (*.jpg);;JPEG-Grafikdatei (*.jpeg);;Bitmaps (*.bmp)"),
        this);
    if (source.isEmpty())
        return;
    const QString folder = GetMandantImageFolder();
    if (folder.isEmpty())
        return;
    try {
        const QString name = AssetPictureName(iAnlageNr);
        StoreAssetPicture(source, folder + name);
        QPixmap p;
        if (!p.load(folder + name))
            throw Exception(QStringLiteral("Die Datei ist kein lesbares Bild."));
        picture_ = p;
        imgAsset->setPixmap(p.scaled(imgAsset->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        fileNamePicture = name;
    } catch (const Exception& e) {
        say(QStringLiteral("SelectImage: Fehler beim Laden der Bilddatei \"") + QFileInfo(source).fileName() +
                QStringLiteral("\": \r\n") + e.message(),
            MsgIcon::None, this);
    }
}

void Tfrm_EditAsset::RemoveImage() {
    picture_ = QPixmap();
    imgAsset->clear();
    fileNamePicture.clear();
}

void Tfrm_EditAsset::ShowOriginalSize() {
    if (picture_.isNull() || fileNamePicture.isEmpty())
        return;
    const QSize room = size() - QSize(20, 20);
    const bool tooLarge = picture_.width() > room.width() || picture_.height() > room.height();
    imgOriginal_->setPixmap(tooLarge ? picture_.scaled(room, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                     : picture_);
    pnlOriginal_->setGeometry(rect());
    pnlOriginal_->raise();
    pnlOriginal_->show();
}
