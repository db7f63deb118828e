#include "assets/frm_verswerte.h"

#include "assets/frm_editasset.h"
#include "assets/frm_index.h"
#include "platform/ui_common.h"
#include "assets/batch_valuation.h"
#include "assets/csv_export.h"
#include "assets/valuation.h"
#include "db/brenvik_config.h"
#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/indexwerte.h"
#include "db/versicherungswerte.h"
#include "import/journal.h"
#include "platform/qt_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

const char* const kHeaders[12] = {"AnlageNr",   "SNr",     "KontoNr", "Anlagebezeichnung", "Ans.-Datum", "AHK",
                                  "Vers.-Wert", "E.-Vers", "M.-Vers", "IndexNr",           "Gelöscht",   "Bearbeitung"};
// Wide enough for German amounts and dates in the system font.
const int kWidths[12] = {70, 40, 75, 260, 85, 105, 105, 60, 65, 65, 65, 85};
// The sort field of a header click; nullptr keeps the current order.
const char* const kSortFields[12] = {"",
                                     "",
                                     "KONTO_NR",
                                     "ANLAGEBEZEICHNUNG",
                                     "ANSCHAFFUNGSDATUM",
                                     "AHK",
                                     "VERSICHERUNGSWERT",
                                     "ELEKTRONIK_VERS",
                                     "MASCHINEN_VERS",
                                     "KATEGORIE_NR",
                                     "GELOESCHT",
                                     nullptr};

void say(const QString& text, MsgIcon icon, QWidget* parent, MsgButtons buttons = MsgButtons::Ok) {
    platform::dialogs().message(text, icon, buttons, parent);
}

} // namespace

void VersWerteModel::setRows(QList<TBrenvikVersWerte> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

bool VersWerteModel::sortLike(const QString& sortField) {
    // Sorted in place: a copy shared with anyone else would make the sort copy every row first.
    beginResetModel();
    const bool sorted = SortVersWerteLike(rows_, sortField);
    endResetModel();
    return sorted;
}

void VersWerteModel::updateRow(int row, const TBrenvikVersWerte& r) {
    if (!isDataRow(row))
        return;
    rows_[row] = r;
    emit dataChanged(index(row, 0), index(row, 11));
}

void VersWerteModel::setValues(int row, double versicherungswert, double zeitwert) {
    if (!isDataRow(row))
        return;
    TBrenvikVersWerte& r = rows_[row];
    r.versicherungswert = versicherungswert;
    r.zeitwert = zeitwert;
}

void VersWerteModel::shown(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, int(rows_.size()) - 1);
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, columnCount() - 1));
}

int VersWerteModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max<int>(1, int(rows_.size()));
}

int VersWerteModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 12;
}

QString VersWerteModel::cellText(const TBrenvikVersWerte& r, int column) {
    switch (column) {
    case 0:
        return QString::number(r.anlage_nr);
    case 1:
        return QString::number(r.anlage_sub_nr);
    case 2:
        return r.konto_nr;
    case 3:
        return r.anlagebezeichnung;
    case 4:
        return ShortDateText(r.anschaffungsdatum);
    case 5:
        return FormatCurrency(r.ahk);
    case 6:
        return FormatCurrency(r.versicherungswert);
    case 7:
        return r.elektronik_vers;
    case 8:
        return r.maschinen_vers;
    case 9:
        return QString::number(r.kategorie_nr);
    case 10:
        return r.geloescht;
    case 11:
        return r.bearbeitung;
    default:
        return {};
    }
}

QVariant VersWerteModel::data(const QModelIndex& index, int role) const {
    if (!isDataRow(index.row()))
        return {};
    const TBrenvikVersWerte& r = rows_[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return cellText(r, index.column());
    case Qt::TextAlignmentRole:
        return index.column() == 5 || index.column() == 6 ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                          : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        if (r.geloescht == QLatin1String("1"))
            return QColor(255, 113, 113);
        return {};
    case Qt::ForegroundRole:
        if (r.geloescht != QLatin1String("1") && r.bearbeitung != QLatin1String("1") && r.anlage_sub_nr > 0)
            return QColor(128, 128, 128);
        return QColor(Qt::black);
    case Qt::FontRole:
        if (r.geloescht != QLatin1String("1") && r.bearbeitung == QLatin1String("1")) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    default:
        return {};
    }
}

QVariant VersWerteModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 12)
        return QString::fromUtf8(kHeaders[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Tfrm_VersWerte::Tfrm_VersWerte(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frm_VersWerte"));
    setWindowTitle(QStringLiteral("Versicherungswertermittlung"));
    resize(1000, 680);
    auto* top = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Versicherungswertermittlung"));
    QFont tf = title->font();
    tf.setBold(true);
    tf.setPointSizeF(tf.pointSizeF() * 1.3);
    title->setFont(tf);
    top->addWidget(title);
    auto* clientRow = new QHBoxLayout;
    clientRow->addWidget(new QLabel(QStringLiteral("Ausgewählter Mandant:")));
    lbMandant_ = new QLabel;
    lbMandant_->setObjectName(QStringLiteral("lbMandant"));
    QFont bf = lbMandant_->font();
    bf.setBold(true);
    lbMandant_->setFont(bf);
    lbMandant_->setTextFormat(Qt::PlainText);
    clientRow->addWidget(lbMandant_, 1);
    top->addLayout(clientRow);

    auto check = [](const char* name, const QString& text) {
        auto* c = new QCheckBox(text);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    cbxAHK1EUR = check("cbxAHK1EUR", QStringLiteral("nur Anlagen, die gebraucht und/oder Anschaffungs-/ "
                                                    "Herstellungskosten von max. 1,- EUR aufweisen, anzeigen"));
    cbxToDoAnlagen = check("cbxToDoAnlagen", QStringLiteral("nur zu bearbeitende Anlagen anzeigen"));
    cbxOhneVWert = check("cbxOhneVWert", QStringLiteral("Anlagen ohne Versicherungswerte anzeigen"));
    for (QCheckBox* c : {cbxAHK1EUR, cbxToDoAnlagen, cbxOhneVWert}) {
        top->addWidget(c);
        connect(c, &QCheckBox::clicked, this, &Tfrm_VersWerte::LoadList);
    }
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(QStringLiteral("KontoNr")));
    edKontoNr = new QLineEdit;
    edKontoNr->setObjectName(QStringLiteral("edKontoNr"));
    edKontoNr->setMaximumWidth(110);
    filterRow->addWidget(edKontoNr);
    filterRow->addWidget(new QLabel(QStringLiteral("Anlagebezeichnung")));
    edAnlagebezeichnung = new QLineEdit;
    edAnlagebezeichnung->setObjectName(QStringLiteral("edAnlagebezeichnung"));
    filterRow->addWidget(edAnlagebezeichnung, 1);
    cbxFindWord = check("cbxFindWord", QStringLiteral("ganzes Wort finden"));
    filterRow->addWidget(cbxFindWord);
    auto* btnFilter = new QPushButton(QStringLiteral("Filter"));
    btnFilter->setObjectName(QStringLiteral("btn_ActivateFilter"));
    btnFilter->setToolTip(QStringLiteral("Filter anwenden/ Selektion starten"));
    btnFilter->setAutoDefault(false);
    auto* btnClear = new QPushButton(QStringLiteral("Leeren"));
    btnClear->setObjectName(QStringLiteral("btn_ClearFields"));
    btnClear->setToolTip(QStringLiteral("Filterwerte entfernen"));
    btnClear->setAutoDefault(false);
    filterRow->addWidget(btnFilter);
    filterRow->addWidget(btnClear);
    top->addLayout(filterRow);
    connect(btnFilter, &QPushButton::clicked, this, &Tfrm_VersWerte::LoadList);
    // Enter in a filter field applies the filter.
    connect(edKontoNr, &QLineEdit::returnPressed, this, &Tfrm_VersWerte::LoadList);
    connect(edAnlagebezeichnung, &QLineEdit::returnPressed, this, &Tfrm_VersWerte::LoadList);
    connect(btnClear, &QPushButton::clicked, this, [this] {
        edKontoNr->clear();
        edAnlagebezeichnung->clear();
        cbxFindWord->setChecked(false);
    });

    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(QStringLiteral("Anlagen zur Versicherungswertermittlung")));
    lbAnzahl_ = new QLabel;
    lbAnzahl_->setObjectName(QStringLiteral("lbAnzahl"));
    countRow->addWidget(lbAnzahl_, 1);
    top->addLayout(countRow);

    model_ = new VersWerteModel(this);
    gridVersWerte = new QTableView;
    gridVersWerte->setObjectName(QStringLiteral("gridVersWerte"));
    gridVersWerte->setModel(model_);
    gridVersWerte->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridVersWerte->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridVersWerte->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridVersWerte->verticalHeader()->hide();
    gridVersWerte->verticalHeader()->setDefaultSectionSize(18);
    gridVersWerte->horizontalHeader()->setSectionsClickable(true);
    gridVersWerte->setWordWrap(false);
    for (int c = 0; c < 12; ++c)
        gridVersWerte->setColumnWidth(c, kWidths[c]);
    gridVersWerte->horizontalHeader()->setStretchLastSection(false);
    gridVersWerte->setMouseTracking(true);
    gridVersWerte->viewport()->installEventFilter(this);
    top->addWidget(gridVersWerte, 1);
    connect(gridVersWerte->horizontalHeader(), &QHeaderView::sectionClicked, this, &Tfrm_VersWerte::HeaderClick);
    connect(gridVersWerte->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &Tfrm_VersWerte::UpdateButtons);
    connect(gridVersWerte, &QTableView::doubleClicked, this, [this] { EditClick(true); });

    auto hint = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, gridVersWerte->viewport());
        l->setObjectName(QString::fromLatin1(name));
        l->setAutoFillBackground(true);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, QColor(245, 240, 220));
        l->setPalette(p);
        l->setFrameShape(QFrame::Box);
        l->adjustSize();
        l->hide();
        return l;
    };
    sttHintBearbeitung =
        hint("sttHintBearbeitung", QStringLiteral(" Diese Anlage ist zur Bearbeitung  gekennzeichnet."));
    sstGeloescht = hint("sstGeloescht", QStringLiteral(" Die Anlage ist als gelöscht  markiert."));

    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    btnHinzufuegen = button(QStringLiteral("Hinzufügen"), "btnHinzufuegen");
    btnBearbeiten = button(QStringLiteral("Bearbeiten"), "btnBearbeiten");
    btnLoeschen = button(QStringLiteral("Löschen"), "btnLoeschen");
    btnVerbund = button(QStringLiteral("Verbunde Anlage erfassen"), "btnVerbund");
    btnIndextausch = button(QStringLiteral("Indextausch"), "btnIndextausch");
    btnWertermittlung = button(QStringLiteral("Wertermittlung starten"), "btnWertermittlung");
    btnWertermittlung->setToolTip(QStringLiteral("Versicherungswerte automatisch berechnen"));
    btnExport = button(QStringLiteral("Anlagenexport"), "btnExport");
    btnImportUndo = button(QStringLiteral("Letzte Datenübernahme rückgängig machen"), "btnImportUndo");
    buttons->addStretch(1);
    btnBeenden = button(QStringLiteral("Beenden"), "btnBeenden");
    top->addLayout(buttons);
    connect(btnHinzufuegen, &QPushButton::clicked, this, &Tfrm_VersWerte::AddClick);
    connect(btnBearbeiten, &QPushButton::clicked, this, [this] { EditClick(false); });
    connect(btnLoeschen, &QPushButton::clicked, this, &Tfrm_VersWerte::DeleteClick);
    connect(btnVerbund, &QPushButton::clicked, this, &Tfrm_VersWerte::RelatedClick);
    connect(btnIndextausch, &QPushButton::clicked, this, &Tfrm_VersWerte::ExchangeClick);
    connect(btnWertermittlung, &QPushButton::clicked, this, &Tfrm_VersWerte::StartValuation);
    connect(btnExport, &QPushButton::clicked, this, &Tfrm_VersWerte::ExportClick);
    connect(btnImportUndo, &QPushButton::clicked, this, &Tfrm_VersWerte::UndoImportClick);
    connect(btnBeenden, &QPushButton::clicked, this, &QDialog::accept);
}

void Tfrm_VersWerte::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    FormShow();
}

void Tfrm_VersWerte::FormShow() {
    QString name = sClientName;
    lbMandant_->setText(name);
    sortField_.clear();
    rememberedNr_.clear();
    LoadList();
}

void Tfrm_VersWerte::LoadList() {
    try {
        const QString konto = edKontoNr->text().trimmed();
        const QString desc = edAnlagebezeichnung->text().trimmed();
        const bool filtered = cbxAHK1EUR->isChecked() || cbxToDoAnlagen->isChecked() || cbxOhneVWert->isChecked() ||
                              !konto.isEmpty() || !desc.isEmpty();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto list =
            filtered ? GetVersWerteFiltered(iClientID, cbxAHK1EUR->isChecked(), cbxOhneVWert->isChecked(), sortField_,
                                            cbxFindWord->isChecked(), desc, konto, cbxToDoAnlagen->isChecked())
                     : GetVersWerteList(iClientID, sortField_);
        BrvCommit();
        QApplication::restoreOverrideCursor();
        model_->setRows(list.value_or(QList<TBrenvikVersWerte>()));
    } catch (const Exception& e) {
        QApplication::restoreOverrideCursor();
        model_->setRows({});
        ShowApplicationError(e.message(), this);
    }
    btnExport->setEnabled(!model_->rows().isEmpty());
    int noted = -1;
    if (!rememberedNr_.isEmpty())
        for (int i = 0; i < model_->rows().size(); ++i)
            if (QString::number(model_->at(i).anlage_nr) == rememberedNr_) {
                noted = i;
                break;
            }
    if (noted >= 0)
        scrollToRow(noted);
    rememberedNr_.clear();
    lbAnzahl_->setText(QStringLiteral("  / Anzahl selektierter Anlagen: ") + QString::number(model_->rowCount()));
    UpdateButtons();
}

void Tfrm_VersWerte::scrollToRow(int row) {
    const QModelIndex idx = model_->index(row, 0);
    gridVersWerte->setCurrentIndex(idx);
    gridVersWerte->scrollTo(idx, QAbstractItemView::PositionAtTop);
}

int Tfrm_VersWerte::currentRow() const {
    const int r = gridVersWerte->currentIndex().row();
    return model_->isDataRow(r) && gridVersWerte->selectionModel()->isRowSelected(r, {}) ? r : -1;
}

QList<int> Tfrm_VersWerte::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& i : gridVersWerte->selectionModel()->selectedRows())
        if (model_->isDataRow(i.row()))
            rows << i.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void Tfrm_VersWerte::rememberCurrent() {
    const int r = currentRow();
    rememberedNr_ = r >= 0 ? QString::number(model_->at(r).anlage_nr) : QString();
}

void Tfrm_VersWerte::HeaderClick(int column) {
    if (column < 0 || column >= 12 || !kSortFields[column])
        return; // "Bearbeitung" keeps the current order
    rememberCurrent();
    sortField_ = QString::fromLatin1(kSortFields[column]);
    // The rows shown are those the filter read: they are put in the new order where they are, not read again.
    if (!model_->sortLike(sortField_)) {
        LoadList();
        return;
    }
    for (int i = 0; i < model_->rows().size() && !rememberedNr_.isEmpty(); ++i)
        if (QString::number(model_->at(i).anlage_nr) == rememberedNr_) {
            scrollToRow(i);
            break;
        }
    rememberedNr_.clear();
    UpdateButtons();
}

void Tfrm_VersWerte::UpdateButtons() {
    const QList<int> rows = selectedRows();
    if (rows.size() > 1) {
        btnBearbeiten->setEnabled(false);
        btnLoeschen->setEnabled(false);
        btnVerbund->setEnabled(false);
        return;
    }
    btnBearbeiten->setEnabled(true);
    if (rows.size() == 1) {
        const TBrenvikVersWerte& r = model_->at(rows.first());
        btnVerbund->setEnabled(r.anlage_sub_nr <= 0);
        btnLoeschen->setEnabled(r.geloescht != QLatin1String("1"));
    } else {
        btnVerbund->setEnabled(true);
        btnLoeschen->setEnabled(true);
    }
}

bool Tfrm_VersWerte::eventFilter(QObject* watched, QEvent* event) {
    if (watched != gridVersWerte->viewport())
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::MouseMove) {
        sttHintBearbeitung->hide();
        sstGeloescht->hide();
    } else if (event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint pos = me->position().toPoint();
        if (me->button() == Qt::RightButton) {
            const QModelIndex at = gridVersWerte->indexAt(pos);
            if (at.isValid() && at.row() != gridVersWerte->currentIndex().row())
                gridVersWerte->setCurrentIndex(at); // collapses a range selection to this row
            if (currentRow() >= 0)
                ReindexSelected();
            return true;
        }
        if (me->button() == Qt::LeftButton) {
            // The hint follows the press, after the view has moved the current row.
            QMetaObject::invokeMethod(
                this,
                [this, pos] {
                    const int r = currentRow();
                    if (r < 0)
                        return;
                    QLabel* hint = model_->at(r).bearbeitung == QLatin1String("1") ? sttHintBearbeitung
                                   : model_->at(r).geloescht == QLatin1String("1") ? sstGeloescht
                                                                                   : nullptr;
                    if (hint) {
                        hint->move(pos.x() + 10, pos.y());
                        hint->raise();
                        hint->show();
                    }
                },
                Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Tfrm_VersWerte::ReindexSelected() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    Tfrm_SelectIdxCategory pick(this);
    pick.lbAnlagebezeichnung->setText(model_->at(rows.first()).anlagebezeichnung);
    try {
        QList<TBrenvikVersWerte> chosen;
        for (int r : rows)
            chosen.append(model_->at(r));
        pick.iIndexJahr = ReindexStartYear(chosen);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
        return;
    }
    if (platform::execModal(pick) != QDialog::Accepted)
        return;
    if (pick.iKategorieNr <= 0) {
        platform::dialogs().message(QStringLiteral("Es wurde kein Index ausgewählt. Die Anlagen bleiben unverändert."),
                                    platform::MsgIcon::Information, platform::MsgButtons::Ok, this);
        return;
    }
    try {
        for (int row : rows) {
            const TBrenvikVersWerte r = ReindexVersWert(iClientID, model_->at(row).anlage_nr,
                                                        model_->at(row).anlage_sub_nr, pick.iKategorieNr, bVAT);
            TBrenvikVersWerte shown = model_->at(row);
            shown.kategorie_nr = r.kategorie_nr;
            shown.versicherungswert = r.versicherungswert;
            model_->updateRow(row, shown);
        }
    } catch (const EBrvCalcVWError& e) {
        say(QStringLiteral("Warnung! Der Versicherungswert konnte nicht korrekt ermittelt werden.\r\nNachricht: ") +
                e.message(),
            MsgIcon::Warning, this);
    } catch (const Exception& e) {
        say(QStringLiteral("Fehler! Die Ermittlung des Versicherungswertes wurde abgebrochen.\r\nSystemmeldung: ") +
                e.message(),
            MsgIcon::Error, this);
    }
}

void Tfrm_VersWerte::StartValuation() {
    const MsgResult answer = platform::dialogs().message(
        QStringLiteral("Automatische Berechnung der Versicherungswerte aller Anlagen.\r\nSoll die automatische "
                       "Berechnung unterbrochen werden, falls ein Fehler während der Verarbeitung einer Anlage "
                       "auftritt?"),
        MsgIcon::Question, MsgButtons::YesNoCancel, this);
    if (answer == MsgResult::Cancel)
        return;
    QList<BatchRow> rows;
    for (const TBrenvikVersWerte& r : model_->rows())
        rows.append({r.anlage_nr, r.anlage_sub_nr});
    QProgressDialog progress(QStringLiteral("Versicherungswerte werden ermittelt ..."), QStringLiteral("Abbrechen"), 0,
                             int(rows.size()), this);
    progress.setObjectName(QStringLiteral("dlgFortschritt"));
    progress.setWindowTitle(QStringLiteral("Wertermittlung"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    BatchOptions o;
    o.mandantNr = iClientID;
    o.bVAT = bVAT;
    o.stopOnError = answer == MsgResult::Yes;
    QElapsedTimer shownAgo;
    shownAgo.start();
    // The dialog and the grid are brought up to date a few times a second, not for every row: the values of the
    // rows valued since the last look are shown together.
    int notShown = 0;
    o.progress = [&](int n, int total) {
        if (n == 0 || shownAgo.elapsed() > 100) {
            model_->shown(notShown, n - 1);
            notShown = n;
            progress.setValue(n);
            progress.setLabelText(QStringLiteral("Anlage %1 von %2").arg(n + 1).arg(total));
            gridVersWerte->scrollTo(model_->index(n, 0), QAbstractItemView::PositionAtTop);
            QApplication::processEvents();
            shownAgo.restart();
        }
        return !progress.wasCanceled();
    };
    o.rowValued = [this](int n, const TBrenvikVersWerte& valued) {
        model_->setValues(n, valued.versicherungswert, valued.zeitwert);
    };
    const auto showRest = [&] { model_->shown(notShown, int(rows.size()) - 1); };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    BatchResult r;
    try {
        r = RunBatchValuation(rows, o);
        showRest();
    } catch (const Exception& e) {
        showRest();
        QApplication::restoreOverrideCursor();
        progress.reset();
        say(e.message(), MsgIcon::Error, this);
        return;
    }
    progress.setValue(int(rows.size()));
    QApplication::restoreOverrideCursor();
    if (r.stopped) {
        scrollToRow(r.stopIndex);
        say(QStringLiteral("Fehler während der Berechnung des Versicherungswertes.\r\nDie Berechnung wurde bei der "
                           "Anlage (AnlageNr: %1) gestoppt.\r\nBitte prüfen Sie die Daten dieser Anlage.")
                .arg(r.stopAnlageNr),
            MsgIcon::Warning, this);
        return;
    }
    if (r.cancelled)
        return;
    if (r.failed == 0)
        say(QStringLiteral("Die Berechnung ist abgeschlossen.\r\nEs wurden keine Probleme festgestellt."),
            MsgIcon::Warning, this);
    else
        say(QStringLiteral("Die Berechnung ist abgeschlossen.\r\nWährend der automatischen Berechnung wurden %1 Fehler "
                           "bei Versicherungs-/ und Zeitwerten registriert. \r\nBitte prüfen Sie zur Sicherheit das "
                           "Anlageverzeichnis.")
                .arg(r.failed),
            MsgIcon::Warning, this);
}

void Tfrm_VersWerte::DeleteClick() {
    const int row = currentRow();
    if (row < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst die zu löschende Anlage aus."), MsgIcon::Information, this);
        return;
    }
    try {
        TBrenvikVersWerte r;
        GetVersWert(iClientID, model_->at(row).anlage_nr, model_->at(row).anlage_sub_nr, r);
        const bool manual = r.quelle == QLatin1String("MANUELL");
        const QString ask =
            manual
                ? QStringLiteral("Es besteht die Möglichkeit, die Anlage vollständig aus der Datenbank zu entfernen "
                                 "\r\nbzw. lediglich eine Löschmarkierung zu setzen.\r\nBitte beachten Sie, daß "
                                 "verbundene Anlagen ebenfalls entsprechend bearbeitet werden.\r\n\r\nWollen Sie mit "
                                 "dem Setzen einer Löschmarkierung fortfahren? ")
                : QStringLiteral("Wollen Sie mit dem Setzen einer Löschmarkierung fortfahren? ");
        if (platform::dialogs().message(ask, MsgIcon::Question, MsgButtons::YesNo, this) == MsgResult::Yes) {
            try {
                SetLoeschmarkierung(iClientID, r.anlage_nr, r.anlage_sub_nr, true);
            } catch (const Exception&) {
                say(QStringLiteral("Fehler beim Setzen der Löschmarkierung (Zugriff auf die Datenbank). \r\nSollte der "
                                   "Fehler nach weiteren Löschanforderungen weiterhin bestehen, \r\ninformieren Sie "
                                   "bitte den Softwarehersteller."),
                    MsgIcon::Error, this);
                return;
            }
            say(QStringLiteral("Die Anlage wurde erfolgreich als gelöscht markiert."), MsgIcon::Information, this);
            rememberCurrent();
            LoadList();
            return;
        }
        if (!manual)
            return;
        if (platform::dialogs().message(
                QStringLiteral(
                    "Bitte bestätigen Sie das vollständige Entfernen der gewählten Anlage aus der Datenbank: "
                    "\r\n(") +
                    QString::number(r.anlage_nr) + QStringLiteral(") ") + r.anlagebezeichnung +
                    QStringLiteral(
                        "\r\nAchtung, eine Reaktivierung dieser Anlage ist anschliessend nicht mehr möglich!"),
                MsgIcon::Question, MsgButtons::OkCancel, this) != MsgResult::Ok)
            return;
        try {
            // A main asset goes with its related assets, as the question above announced, all at once.
            if (r.anlage_sub_nr == 0)
                DeleteVersWertMitVerbund(iClientID, r.anlage_nr);
            else
                DeleteVersWert(iClientID, r.anlage_nr, r.anlage_sub_nr);
        } catch (const Exception&) {
            say(QStringLiteral("Fehler beim Löschen (Zugriff auf die Datenbank). \r\nSollte der Fehler nach weiteren "
                               "Löschanforderungen weiterhin bestehen, \r\ninformieren Sie bitte den "
                               "Softwarehersteller."),
                MsgIcon::Error, this);
            return;
        }
        say(QStringLiteral("Die Anlage wurde erfolgreich gelöscht."), MsgIcon::Information, this);
        LoadList();
    } catch (const Exception& e) {
        say(QStringLiteral("Fehler beim Verarbeiten der Löschanforderung. \r\nSollte der Fehler nach wiederholten "
                           "Anforderungen weiterhin bestehen, \r\ninformieren Sie bitte den Softwarehersteller.\r\n\r\n"
                           "Systemmeldung: ") +
                e.message(),
            MsgIcon::Error, this);
    }
}

void Tfrm_VersWerte::AddClick() {
    try {
        Tfrm_EditAsset d(this);
        d.iClientID = iClientID;
        d.sClientName = sClientName;
        d.bVAT = bVAT;
        d.iAnlageNr = GetMaxAnlageNr(iClientID) + 1;
        d.iAnlageSubNr = 0;
        d.bAdd = true;
        if (platform::execModal(d) == QDialog::Accepted || d.bSave)
            LoadList();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void Tfrm_VersWerte::EditClick(bool fromDoubleClick) {
    const int row = currentRow();
    if (row < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst eine Anlage aus."), MsgIcon::Information, this);
        return;
    }
    try {
        Tfrm_EditAsset d(this);
        d.iClientID = iClientID;
        d.sClientName = sClientName;
        d.bVAT = bVAT;
        d.iAnlageNr = model_->at(row).anlage_nr;
        d.iAnlageSubNr = model_->at(row).anlage_sub_nr;
        d.bAdd = false;
        d.bAHK = cbxAHK1EUR->isChecked();
        d.bVWVal = cbxOhneVWert->isChecked();
        d.bToDos = cbxToDoAnlagen->isChecked();
        const QString editedNr = QString::number(d.iAnlageNr);
        platform::execModal(d);
        rememberedNr_ = editedNr;
        LoadList();
        if (currentRow() < 0 && model_->rowCount() > 0)
            scrollToRow(fromDoubleClick ? model_->rowCount() - 1 : 0);
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void Tfrm_VersWerte::RelatedClick() {
    const int row = currentRow();
    if (row < 0) {
        say(QStringLiteral("Bitte wählen Sie zunächst eine Anlage aus."), MsgIcon::Information, this);
        return;
    }
    const TBrenvikVersWerte& main = model_->at(row);
    if (main.geloescht == QLatin1String("1")) {
        say(QStringLiteral(
                "Die gewählte Anlage ist bereits als gelöscht markiert. \r\nEs kann keine verbundene Anlage zu "
                "einer gelöschten Anlage angelegt werden."),
            MsgIcon::Information, this);
        return;
    }
    if (main.anlage_sub_nr != 0) {
        say(QStringLiteral(
                "Sie haben eine verbunde Anlage ausgewählt.\r\nBitte wählen Sie die übergeordnete Anlage, um "
                "eine verbundene Anlage zu erfassen."),
            MsgIcon::Warning, this, MsgButtons::Cancel);
        return;
    }
    try {
        Tfrm_EditAsset d(this);
        d.iClientID = iClientID;
        d.sClientName = sClientName;
        d.bVAT = bVAT;
        d.iAnlageNr = main.anlage_nr;
        d.iAnlageSubNr = GetMaxAnlageSubNr(iClientID, main.anlage_nr) + 1;
        d.bAdd = true;
        d.presetKontoNr(main.konto_nr);
        rememberedNr_ = QString::number(main.anlage_nr);
        platform::execModal(d);
        LoadList();
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
    }
}

void Tfrm_VersWerte::ExchangeClick() {
    Tfrm_ExChgIdx d(this);
    d.iClientID = iClientID;
    if (platform::execModal(d) == QDialog::Accepted) {
        rememberCurrent();
        LoadList();
    }
}

void Tfrm_VersWerte::UndoImportClick() {
    QList<TakeoverJournalEntry> last;
    try {
        for (const TakeoverJournalEntry& e : GetDatenuebernahmen(iClientID, 50))
            if (!e.undone) {
                last = {e};
                break;
            }
    } catch (const Exception& e) {
        ShowApplicationError(e.message(), this);
        return;
    }
    if (last.isEmpty()) {
        platform::dialogs().message(
            QStringLiteral("Es gibt keine Datenübernahme dieses Mandanten, die rückgängig gemacht werden kann."),
            MsgIcon::Information, MsgButtons::Ok, this);
        return;
    }
    const TakeoverJournalEntry& e = last.first();
    const QString question =
        QStringLiteral("Soll die letzte Datenübernahme rückgängig gemacht werden?\r\n\r\nDatei: %1\r\nVom: %2 (%3)"
                       "\r\n%4 neu, %5 bestätigt, %6 als Abgang markiert, %7 reaktiviert\r\n\r\nDas "
                       "Anlagenverzeichnis wird auf den Stand vor dieser Datenübernahme zurückgesetzt.")
            .arg(e.datei, FormatDateTimeLocal(QStringLiteral("DD.MM.YYYY HH:mm"), e.zeitpunkt), e.login)
            .arg(e.neu)
            .arg(e.bestaetigt)
            .arg(e.abgaenge)
            .arg(e.reaktiviert);
    if (platform::dialogs().message(question, MsgIcon::Question, MsgButtons::YesNoDefaultNo, this) !=
        platform::MsgResult::Yes)
        return;
    const UndoTakeoverResult r = UndoLastTakeover(iClientID);
    platform::dialogs().message(r.message, r.done ? MsgIcon::Information : MsgIcon::Warning, MsgButtons::Ok, this);
    if (r.done)
        LoadList();
}

void Tfrm_VersWerte::ExportClick() {
    QString path = platform::dialogs().saveFile(QStringLiteral("Exportdatei des Analgeverzeichnisses waehlen"), {},
                                                QStringLiteral("CSV-File (*.csv)"), this);
    if (path.isEmpty())
        return;
    if (path.right(4).toLower() != QLatin1String(".csv"))
        path += QStringLiteral(".csv");
    try {
        if (QFile::exists(path) &&
            platform::dialogs().message(QStringLiteral("Die angegebene Datei existiert bereits. \r\nWollen Sie diese "
                                                       "Datei ersetzen?"),
                                        MsgIcon::Warning, MsgButtons::YesNo, this) != MsgResult::Yes)
            throw EBrvExportFileExists_NoRewrite();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const RegisterExport done = ExportRegisterCsv(iClientID, path);
        QApplication::restoreOverrideCursor();
        say(QStringLiteral("Der Export wurde erfolgreich abgeschlossen.") +
                (done.replacedFields > 0 ? QStringLiteral("\r\n") + done.notice() : QString()),
            MsgIcon::Information, this);
    } catch (const EBrvExportFileExists_NoRewrite&) {
    } catch (const Exception& e) {
        QApplication::restoreOverrideCursor();
        say(QStringLiteral("Fehler beim Export der Anlageinformationen.\r\nSystemmeldung: ") + e.message(),
            MsgIcon::Error, this);
    }
}
