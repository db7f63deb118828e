#include "import/importer.h"

#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/indexwerte.h"
#include "import/text_lines.h"
#include "import/workbook.h"

#include <QBuffer>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <optional>

using platform::MsgIcon;

const QStringList kImportPreviewHeaders = {QStringLiteral("ZeilenNr"),
                                           QStringLiteral("KontoNr"),
                                           QStringLiteral("Anlagebezeichnung"),
                                           QStringLiteral("Ansch.-Datum"),
                                           QStringLiteral("AHK"),
                                           QStringLiteral("Anlagegruppe"),
                                           QStringLiteral("Notiz"),
                                           QStringLiteral("Index"),
                                           QStringLiteral("LagerungAussen"),
                                           QStringLiteral("Elektronik-Vers"),
                                           QStringLiteral("Maschinen-Vers"),
                                           QStringLiteral("Leasing"),
                                           QStringLiteral("Miete"),
                                           QStringLiteral("Gebaeude"),
                                           QStringLiteral("geloescht"),
                                           QStringLiteral("AdressNr"),
                                           QStringLiteral("Feste Taxe"),
                                           QStringLiteral("Anlagentyp_ID")};

QString ImportResult::countText() const {
    return QStringLiteral("Anzahl: %1 von %2").arg(preview.size()).arg(records);
}

QString ImportResult::summaryText() const {
    return QStringLiteral("Gelesen: %1, bereitgestellt: %2, fehlgeschlagen: %3").arg(records).arg(staged).arg(failed);
}

QString ImportMatchText(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c == U';' || c == U'\r' || c == U'\n')
            continue;
        if (InWindows1252(c))
            out += QString::fromUcs4(&c, 1);
        else
            out += QLatin1Char('?');
    }
    return out.trimmed().left(kMaxImportDescription).trimmed();
}

QString CheckStandardIndex(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QStringLiteral("Es ist kein gültiger Index angegeben.");
    if (!IsInteger(t))
        return QStringLiteral("Der angegebene Index ist kein gültiger numerischer Wert (Index).\r\nBitte pruefen Sie "
                              "nochmals Ihre Angabe.");
    TBrenvikIndexBeschr b;
    GetIndexBeschreibung(t.toInt(), b);
    if (b.kategorie_nr != t.toInt())
        return QStringLiteral("Der angegebene Index wurde nicht in der Referenzliste gefunden.\r\nBitte pruefen Sie "
                              "nochmals Ihre Angabe.");
    return {};
}

namespace {

const int kMaxRow = 65500;
const int kChunk = 2000;
const QString kWrongDateNote = QStringLiteral("Anschaffungsdatum falsch übernommen, bitte prüfen.");
const QString kReadFailed = QStringLiteral(
    "Fehler beim Laden der Excel-Daten.\r\nBitte prüfen Sie, ob die angegene Datei dem korrekten Format entspricht. "
    "\r\nDer Import wurde in Zeile %1 der Excel-Datei abgebrochen.");

QString flagOf(const QString& cell) {
    return cell.trimmed().isEmpty() ? QStringLiteral("0") : QStringLiteral("1");
}
int intOf(const QString& cell) {
    bool ok = false;
    const int v = cell.trimmed().toInt(&ok);
    return ok ? v : 0;
}
bool isNumber(const QString& t) {
    return IsFloat(t);
}

void fail(ImportResult& res, int line, const QString& reason, const QString& konto, const QString& desc) {
    ++res.failed;
    res.failures.append({line, reason, konto, desc});
}

// Reading ended before the end of the file: whatever was not read must not look like a disposal.
void stopEarly(ImportResult& res, int line, const QString& reason) {
    res.complete = false;
    res.failures.append({line, reason, {}, {}});
}

const QString kBeyondLastRow = QStringLiteral("Die Datei hat mehr als 65500 Zeilen; die weiteren Zeilen wurden nicht "
                                              "gelesen.");

// Hands every accepted record to the staging, counts what was staged and lists what failed; collects the preview.
class Stager {
public:
    Stager(ImportResult& res, const StageRecord& insert) : res_(res), insert_(insert) {}
    // line: the row or line of the file, for the list of rows that could not be staged.
    bool stage(const TBrenvikDatenimport& r, int line) {
        try {
            insert_(r);
        } catch (const Exception& e) {
            fail(res_, line, QStringLiteral("Speichern in der Datenbank fehlgeschlagen: ") + e.message(), r.konto_nr,
                 r.anlagebezeichnung);
            return false;
        }
        ++res_.staged;
        return true;
    }
    void preview(const TBrenvikDatenimport& r) {
        res_.preview.append({QString::number(r.zeile_nr), r.konto_nr, r.anlagebezeichnung,
                             ShortDateText(r.anschaffungsdatum), FormatAmount(r.ahk), r.gruppe, r.zusaetze,
                             QString::number(r.kategorie_nr), r.lagerung_aussen, r.elektronik_vers, r.maschinen_vers,
                             r.leasing, r.gemietet, r.gebaeude, r.geloescht, QString::number(r.adress_nr), r.feste_taxe,
                             QString::number(r.anlagentyp_id)});
    }

private:
    ImportResult& res_;
    const StageRecord& insert_;
};

// The columns AA to AN, the same in every layout; cell(n) gives the text of 1-based column n.
template <typename Cell>
void applyExtras(TBrenvikDatenimport& r, const ImportOptions& o, const Cell& cell, int groupLimit) {
    r.gruppe = o.groups ? cell(27).trimmed() : QString();
    if (groupLimit > 0)
        r.gruppe = r.gruppe.left(groupLimit);
    r.kategorie_nr = o.indexFromFile ? intOf(cell(30)) : 0;
    QString* flags[] = {&r.lagerung_aussen, &r.elektronik_vers, &r.maschinen_vers, &r.leasing,
                        &r.gemietet,        &r.gebaeude,        &r.geloescht};
    if (!o.extras) {
        r.bearbeitung = QStringLiteral("0");
        r.zusaetze.clear();
        for (QString* f : flags)
            *f = QStringLiteral("0");
        r.feste_taxe = QStringLiteral("0");
        r.adress_nr = 0;
        r.anlagentyp_id = 0;
        return;
    }
    r.bearbeitung = flagOf(cell(28));
    r.zusaetze = cell(29).trimmed();
    int col = 31;
    for (QString* f : flags)
        *f = flagOf(cell(col++));
    r.adress_nr = intOf(cell(38));
    r.feste_taxe = flagOf(cell(39));
    r.anlagentyp_id = intOf(cell(40));
}

// A description longer than 100 characters is cut and listed.
QString cutDescription(const QString& konto, const QString& desc, ImportResult& res) {
    if (desc.size() <= kMaxImportDescription)
        return desc;
    res.longDescriptions << konto.leftJustified(10, QLatin1Char(' ')) + desc;
    return desc.left(kMaxImportDescription);
}

// The marker "AHK" (any case, blanks around it allowed); only a text cell can hold it.
bool isMarker(const Worksheet& ws, int r, int c) {
    const Worksheet::Cell* cell = ws.at(r, c);
    return cell && cell->kind == Worksheet::Kind::Text &&
           cell->text.trimmed().compare(QLatin1String("AHK"), Qt::CaseInsensitive) == 0;
}

bool readDate(const QString& text, TDateTime& out) {
    try {
        out = TextToDate(text.trimmed());
        return true;
    } catch (const EBrvTypeConversionError&) {
        return false;
    }
}

// A number as the checks take it: a number cell as it stands, a text that reads as a number of the locale.
bool numberAt(const Worksheet& ws, int r, int c, double& out) {
    const Worksheet::Cell* cell = ws.at(r, c);
    if (!cell)
        return false;
    if (cell->kind == Worksheet::Kind::Number) {
        out = cell->number;
        return true;
    }
    if (cell->kind != Worksheet::Kind::Text)
        return false;
    const QString t = cell->text.trimmed().toUpper();
    if (!isNumber(t))
        return false;
    out = TextToFloat(t);
    return true;
}

// A date as the checks take it: a date cell without time of day, or a text DD.MM.YYYY.
bool dateAt(const Worksheet& ws, int r, int c, TDateTime& out) {
    const Worksheet::Cell* cell = ws.at(r, c);
    if (!cell)
        return false;
    if (cell->kind == Worksheet::Kind::Date) {
        if (cell->number != std::floor(cell->number))
            return false; // shown with its time, which is no DD.MM.YYYY date
        out = cell->number;
        return true;
    }
    return cell->kind == Worksheet::Kind::Text && readDate(cell->text, out);
}

// What stands in the cells where an amount is expected.
enum class AmountCell { Number, NoValue, Unreadable, Words, Empty };

// A text that holds a digit is meant as a number, however it is written ("12.5", "1.234,5 EUR"); one without is a
// heading or a remark ("Betrag", "EUR").
bool hasDigit(const QString& t) {
    return std::any_of(t.begin(), t.end(), [](QChar c) { return c.isDigit(); });
}

AmountCell amountCell(const Worksheet& ws, int r, int c, double& out) {
    const Worksheet::Cell* cell = ws.at(r, c);
    if (!cell || cell->kind == Worksheet::Kind::Empty)
        return AmountCell::Empty;
    if (cell->kind == Worksheet::Kind::NoValue)
        return AmountCell::NoValue;
    if (numberAt(ws, r, c, out))
        return AmountCell::Number;
    const QString t = ws.cell(r, c).trimmed();
    if (t.isEmpty())
        return AmountCell::Empty;
    return hasDigit(t) || cell->kind != Worksheet::Kind::Text ? AmountCell::Unreadable : AmountCell::Words;
}

// The first number of the cells [from, to] of row r; else the most telling state of them (a formula without value
// before an unreadable number before words before nothing). raw gets the text of the telling cell.
AmountCell amountOf(const Worksheet& ws, int r, int from, int to, double& out, QString& raw) {
    AmountCell best = AmountCell::Empty;
    for (int c = from; c <= to; ++c) {
        const AmountCell s = amountCell(ws, r, c, out);
        if (s == AmountCell::Number)
            return s;
        if (int(s) < int(best)) {
            best = s;
            raw = ws.cell(r, c).trimmed();
        }
    }
    return best;
}

QString amountFailure(AmountCell s, const QString& raw) {
    switch (s) {
    case AmountCell::NoValue:
        return QStringLiteral("Der AHK-Betrag ist eine Formel ohne gespeicherten Wert (Datei in der "
                              "Tabellenkalkulation öffnen, neu berechnen und speichern)");
    case AmountCell::Unreadable:
        return QStringLiteral("Der AHK-Betrag \"%1\" ist keine Zahl im deutschen Format").arg(raw);
    case AmountCell::Words:
        return QStringLiteral("Kein gültiger AHK-Betrag: \"%1\"").arg(raw);
    default:
        return QStringLiteral("Kein AHK-Betrag neben der Kennung \"AHK\"");
    }
}

// Whether a row holds what only an asset row holds: a number or a date, or a formula without value, in the columns
// where the layout expects date and amount.
bool looksLikeAsset(const Worksheet& ws, int r, int from, int to) {
    for (int c = from; c <= to; ++c) {
        const Worksheet::Cell* cell = ws.at(r, c);
        if (!cell)
            continue;
        if (cell->kind == Worksheet::Kind::Number || cell->kind == Worksheet::Kind::Date ||
            cell->kind == Worksheet::Kind::NoValue)
            return true;
        TDateTime d = 0;
        double v = 0;
        if (cell->kind == Worksheet::Kind::Text && (numberAt(ws, r, c, v) || readDate(cell->text, d)))
            return true;
    }
    return false;
}

// The marker "AHK" under another name: a short text in the marker's place beside an amount ("AfA", "AHK.", "Anl").
bool otherMarker(const Worksheet& ws, int r, int c) {
    const Worksheet::Cell* cell = ws.at(r, c);
    return cell && cell->kind == Worksheet::Kind::Text && !cell->text.trimmed().isEmpty() &&
           cell->text.trimmed().size() <= 8 && !hasDigit(cell->text);
}

void see(ImportResult& res, const QString& konto) {
    const QString k = ImportMatchText(konto);
    if (!k.isEmpty())
        res.seenKonten.insert(k);
}

void skipRow(ImportResult& res, int line, const QString& reason, const QString& konto, const QString& desc) {
    res.skipped.append({line, reason, konto, desc});
}

const QString kHeadingRow = QStringLiteral("Überschrift oder Bemerkung (keine Zahl in der Betragsspalte)");
const QString kNoteRow = QStringLiteral("Keine Anlagenzeile (weder Betrag noch Datum)");

// Reading stopped after the rows without record that the layout allows. Rows after that which look like assets
// make the read incomplete; rows that do not are notes below the register, listed, and their accounts seen.
template <typename IsAssetRow>
void checkRest(const Worksheet& ws, int from, ImportResult& res, const IsAssetRow& isAssetRow) {
    const int last = std::min(ws.lastUsedRow(), kMaxRow);
    for (int r = from; r <= last; ++r) {
        if (!ws.rowUsed(r))
            continue;
        if (isAssetRow(r)) {
            stopEarly(res, r,
                      QStringLiteral("Das Lesen endete nach mehr als 100 Zeilen ohne Datensatz vor Zeile %1; ab dort "
                                     "folgen weitere Anlagenzeilen, die nicht gelesen wurden.")
                          .arg(r));
            return;
        }
        see(res, ws.cell(r, 1).trimmed());
        skipRow(res, r, QStringLiteral("Bemerkung unterhalb des Anlagenverzeichnisses"), ws.cell(r, 1).trimmed(),
                ws.cell(r, 2).trimmed());
    }
}

void beyondLastRow(const Worksheet& ws, ImportResult& res) {
    if (ws.lastUsedRow() > kMaxRow && res.complete)
        stopEarly(res, kMaxRow + 1, kBeyondLastRow);
}

void readStandard(const Worksheet& ws, const ImportOptions& o, Stager& st, ImportResult& res,
                  const std::function<void(const QString&)>& status) {
    res.layout = QStringLiteral("standard");
    int withoutRecord = 0;
    bool found = false;
    const int last = std::min(ws.rowCount(), kMaxRow);
    int r = 1;
    for (; r <= last && withoutRecord <= 100; ++r) {
        if (status && r % 500 == 1)
            status(QStringLiteral("Aktueller Datensatz d. Importdatei: %1").arg(r));
        if (!ws.rowUsed(r)) {
            if (found)
                ++withoutRecord;
            continue;
        }
        const QString a = ws.cell(r, 1).trimmed();
        const QString b = ws.cell(r, 2).trimmed();
        see(res, a);
        int marker = 0, markerSeen = 0;
        double amount = 0;
        AmountCell state = AmountCell::Empty;
        QString raw;
        for (int m = 3; m <= 19 && !marker; ++m) {
            if (!isMarker(ws, r, m))
                continue;
            QString rawHere;
            const AmountCell s = amountOf(ws, r, m + 1, m + 2, amount, rawHere);
            if (s == AmountCell::Number)
                marker = m;
            else if (!markerSeen || int(s) < int(state)) {
                state = s;
                raw = rawHere;
            }
            if (!markerSeen)
                markerSeen = m;
        }
        // Only rows that are no record need the closer look.
        const auto assetLike = [&] { return looksLikeAsset(ws, r, 3, 19); };
        // Rows that look like assets but lack what the layout requires are listed as failed: their accounts stand
        // in the file, and the user must see why they were not taken.
        QString why;
        if (marker && (a.isEmpty() || b.isEmpty()))
            why = a.isEmpty() ? QStringLiteral("Die Kontonummer (Spalte A) fehlt")
                              : QStringLiteral("Die Anlagebezeichnung (Spalte B) fehlt");
        else if (!marker && markerSeen &&
                 (state == AmountCell::NoValue || state == AmountCell::Unreadable || assetLike() ||
                  (state == AmountCell::Empty && found)))
            why = amountFailure(state, raw);
        else if (!marker && !markerSeen && !a.isEmpty() && !b.isEmpty() && assetLike())
            why = QStringLiteral("Die Kennung \"AHK\" fehlt (Spalten C bis S)");
        if (!why.isEmpty()) {
            ++res.records;
            fail(res, r, why, a, b);
            withoutRecord = 0;
            continue;
        }
        if (!marker) {
            skipRow(res, r, markerSeen ? kHeadingRow : kNoteRow, a, b);
            if (found)
                ++withoutRecord;
            continue;
        }
        found = true;
        withoutRecord = 0;
        TBrenvikDatenimport rec;
        rec.zeile_nr = ++res.records;
        rec.konto_nr = a;
        rec.anlagebezeichnung = cutDescription(a, b, res);
        rec.ahk = amount;
        bool dated = false;
        for (int c = marker - 1; c >= 3 && !dated; --c)
            dated = dateAt(ws, r, c, rec.anschaffungsdatum);
        applyExtras(
            rec, o, [&](int c) { return ws.cell(r, c); }, 50);
        if (!dated) {
            // The wrong date stays visible: the asset is marked to be worked on, with a note saying why.
            rec.anschaffungsdatum = EncodeDate(1900, 1, 1);
            rec.bearbeitung = QStringLiteral("1");
            rec.zusaetze = rec.zusaetze.isEmpty() ? kWrongDateNote : kWrongDateNote + QLatin1Char(' ') + rec.zusaetze;
        }
        if (res.records <= 100)
            st.preview(rec);
        st.stage(rec, r);
    }
    if (withoutRecord > 100)
        checkRest(ws, r, res, [&](int row) {
            for (int m = 3; m <= 19; ++m)
                if (isMarker(ws, row, m))
                    return true;
            return !ws.cell(row, 1).trimmed().isEmpty() && !ws.cell(row, 2).trimmed().isEmpty() &&
                   looksLikeAsset(ws, row, 3, 19);
        });
    beyondLastRow(ws, res);
}

void readColumnHL(const Worksheet& ws, const ImportOptions& o, Stager& st, ImportResult& res,
                  const std::function<void(const QString&)>& status) {
    res.layout = QStringLiteral("H/L");
    int s = 0, start = 0;
    for (int r = 1; r <= 2000 && r <= ws.rowCount() && !s; ++r) {
        if (isMarker(ws, r, 12))
            s = 12;
        else if (isMarker(ws, r, 8))
            s = 8;
        start = r;
    }
    if (!s)
        return;
    // The rows above the first marker are the file's heading; their accounts count as seen all the same.
    for (int r = 1; r < start; ++r)
        if (ws.rowUsed(r)) {
            see(res, ws.cell(r, 1).trimmed());
            skipRow(res, r, QStringLiteral("Kopfbereich vor der ersten Zeile mit \"AHK\""), ws.cell(r, 1).trimmed(),
                    ws.cell(r, 3).trimmed());
        }
    int withoutRecord = 0;
    bool found = false;
    int t = start;
    while (t <= kMaxRow && withoutRecord <= 100) {
        if (t > ws.rowCount() + 1)
            break; // only empty rows follow
        if (status && t % 500 == 1)
            status(QStringLiteral("Aktuelle Zeile d. Importdatei: %1").arg(t));
        const QString a = ws.cell(t, 1).trimmed();
        const QString c = ws.cell(t, 3).trimmed();
        int w = t;
        // A record spreads over two lines only when its first line names the asset.
        if (!isMarker(ws, t, s) && isMarker(ws, t + 1, s) && !a.isEmpty() && !c.isEmpty())
            w = t + 1;
        see(res, a);
        if (w != t)
            see(res, ws.cell(w, 1).trimmed());
        const bool markerRow = isMarker(ws, w, s);
        double amount = 0;
        QString raw;
        const AmountCell state = markerRow ? amountOf(ws, w, s + 1, s + 3, amount, raw) : AmountCell::Empty;
        const bool record = markerRow && state == AmountCell::Number && !a.isEmpty() && !c.isEmpty();
        QString why;
        if (markerRow && state == AmountCell::Number && (a.isEmpty() || c.isEmpty()))
            why = a.isEmpty() ? QStringLiteral("Die Kontonummer (Spalte A) fehlt")
                              : QStringLiteral("Die Anlagebezeichnung (Spalte C) fehlt");
        else if (markerRow && state != AmountCell::Number && (!a.isEmpty() || !c.isEmpty()) &&
                 (state == AmountCell::NoValue || state == AmountCell::Unreadable || looksLikeAsset(ws, w, 4, s + 3) ||
                  (state == AmountCell::Empty && found)))
            why = amountFailure(state, raw);
        if (!why.isEmpty()) {
            ++res.records;
            fail(res, w, why, a, c);
            withoutRecord = 0;
        } else if (record) {
            found = true;
            withoutRecord = 0;
            TBrenvikDatenimport rec;
            rec.zeile_nr = ++res.records;
            rec.konto_nr = a;
            rec.anlagebezeichnung = cutDescription(a, c, res);
            rec.ahk = amount;
            if (!dateAt(ws, w, 9, rec.anschaffungsdatum) && !dateAt(ws, w, 6, rec.anschaffungsdatum))
                rec.anschaffungsdatum = EncodeDate(1900, 1, 1);
            applyExtras(
                rec, o, [&](int col) { return ws.cell(w, col); }, 0);
            if (res.records <= 250)
                st.preview(rec);
            st.stage(rec, w);
        } else {
            ++withoutRecord;
            // The row of the amounts belongs to a record only when this row opened one: a record of one line right
            // after a blank or heading row is read as such.
            w = t;
            if (ws.rowUsed(t))
                skipRow(res, t, markerRow ? kHeadingRow : kNoteRow, a, c);
        }
        if (w + 1 > kMaxRow)
            break;
        t = w + 1;
    }
    if (withoutRecord > 100)
        checkRest(ws, t, res, [&](int row) { return isMarker(ws, row, s); });
    beyondLastRow(ws, res);
}

// Column A of the DATEV layout: account number and description in one cell. A line break of any kind counts as a
// blank (a spreadsheet stores Alt+Enter as a bare LF).
QString datevCell(const Worksheet& ws, int row) {
    QString a = ws.cell(row, 1);
    a.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    a.replace(QLatin1Char('\n'), QLatin1Char(' '));
    a.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return a.trimmed();
}
QString datevKonto(const QString& a) {
    const int blank = a.indexOf(QLatin1Char(' '));
    return blank < 0 ? QStringLiteral("0") : a.left(blank);
}
QString datevDescription(const QString& a) {
    const int blank = a.indexOf(QLatin1Char(' '));
    return blank < 0 ? a : a.mid(blank + 1).trimmed();
}

void readDatev(const Worksheet& ws, const ImportOptions& o, Stager& st, ImportResult& res,
               const std::function<void(const QString&)>& status) {
    res.layout = QStringLiteral("datev2021");
    int start = 0;
    for (int r = 1; r <= 500 && !start; ++r)
        if (isMarker(ws, r, 4))
            start = r;
    if (!start) {
        res.layout.clear();
        res.messages.append({QStringLiteral("Fehler während der Formatprüfung der Excel-Datei (Schwellwert von 500 "
                                            "Datensätzen erreicht).\r\nBitte prüfen Sie, ob die angegebene Datei dem "
                                            "korrekten Format entspricht."),
                             MsgIcon::Error});
        return;
    }
    for (int r = 1; r < start; ++r)
        if (ws.rowUsed(r)) {
            const QString a = datevCell(ws, r);
            if (!a.isEmpty())
                see(res, datevKonto(a));
            skipRow(res, r, QStringLiteral("Kopfbereich vor der ersten Zeile mit \"AHK\""), datevKonto(a),
                    datevDescription(a));
        }
    int withoutRecord = 0;
    int row = start;
    for (;; ++row) {
        if (row > kMaxRow) {
            if (ws.lastUsedRow() > kMaxRow) {
                res.messages.append({QStringLiteral("Verarbeitung der Datei nach Erreichen der maximalen Anzahl an "
                                                    "Datensätzen (65500) beendet\r\nBitte prüfen Sie die "
                                                    "Vollständigkeit der Datenübernahme."),
                                     MsgIcon::Error});
                stopEarly(res, row, kBeyondLastRow);
            }
            break;
        }
        if (row > ws.lastUsedRow())
            break; // nothing follows
        if (status && row % 500 == 1)
            status(QStringLiteral("Aktuelle Zeile d. Importdatei: %1").arg(row));
        const QString a = datevCell(ws, row);
        if (!a.isEmpty())
            see(res, datevKonto(a));
        if (!isMarker(ws, row, 4)) {
            if (ws.rowUsed(row)) {
                // A row with an account, a date and an amount but another marker is an asset the file lists.
                double v = 0;
                QString raw;
                TDateTime d = 0;
                const bool assetLike = !a.isEmpty() && otherMarker(ws, row, 4) &&
                                       (dateAt(ws, row, 3, d) || dateAt(ws, row, 2, d)) &&
                                       amountOf(ws, row, 5, 6, v, raw) != AmountCell::Empty;
                if (assetLike) {
                    ++res.records;
                    fail(res, row, QStringLiteral("Die Kennung in Spalte D ist nicht \"AHK\""), datevKonto(a),
                         datevDescription(a));
                    withoutRecord = 0;
                    continue;
                }
                skipRow(res, row, kNoteRow, datevKonto(a), datevDescription(a));
            }
            if (++withoutRecord > 100) {
                if (res.records == 0)
                    res.messages.append(
                        {QStringLiteral("Fehler beim Verarbeiten der Excel-Daten (Schwellwert von 100 "
                                        "Datensätzen erreicht).\r\nBitte prüfen Sie, ob die angegebene "
                                        "Datei dem korrekten Format entspricht. \r\nDer Import wurde in "
                                        "Zeile %1 der Excel-Datei abgebrochen.")
                             .arg(row),
                         MsgIcon::Error});
                checkRest(ws, row + 1, res, [&](int r) { return isMarker(ws, r, 4); });
                break;
            }
            continue;
        }
        TBrenvikDatenimport rec;
        // A row with the marker is an asset row: when it cannot be staged it is listed, not silently dropped, with
        // the account it would have had.
        auto skip = [&](const QString& reason) {
            ++res.records;
            fail(res, row, reason, a.isEmpty() ? QString() : datevKonto(a), datevDescription(a));
        };
        if (!dateAt(ws, row, 3, rec.anschaffungsdatum) && !dateAt(ws, row, 2, rec.anschaffungsdatum)) {
            skip(QStringLiteral("Fehler, kein valides Anschaffungsdatum gefunden"));
            continue;
        }
        // An empty column E is no amount of its own: the amount of column F counts, as after a 0.
        QString raw;
        const AmountCell e = amountCell(ws, row, 5, rec.ahk);
        if (e == AmountCell::Empty) {
            const AmountCell f = amountOf(ws, row, 6, 6, rec.ahk, raw);
            if (f != AmountCell::Number) {
                skip(QStringLiteral("Fehler, AHK Wert konnte nicht ermittelt werden: ") + amountFailure(f, raw));
                continue;
            }
        } else if (e != AmountCell::Number) {
            raw = ws.cell(row, 5).trimmed();
            skip(QStringLiteral("Fehler, AHK Wert konnte nicht ermittelt werden: ") + amountFailure(e, raw));
            continue;
        } else if (rec.ahk == 0 && !numberAt(ws, row, 6, rec.ahk)) {
            rec.ahk = 0;
        }
        if (a.isEmpty()) {
            skip(QStringLiteral("Fehler, Kontonummer und Bezeichnung nicht vorhanden"));
            continue;
        }
        rec.konto_nr = datevKonto(a);
        rec.anlagebezeichnung = datevDescription(a).left(kMaxImportDescription);
        applyExtras(
            rec, o, [&](int col) { return ws.cell(row, col); }, 0);
        rec.zeile_nr = ++res.records;
        if (st.stage(rec, row))
            withoutRecord = 0;
        if (res.records <= 250)
            st.preview(rec);
    }
}

// The lines of a text file one after the other; nullopt at the end.
using NextLine = std::function<std::optional<QString>()>;

void readText(const NextLine& next, const ImportOptions& o, Stager& st, ImportResult& res,
              const std::function<void(const QString&)>& status) {
    res.layout = QStringLiteral("text");
    static const QString emptySheetRow(52, QLatin1Char(';'));
    // The first line is the header of the layout; say what was taken as such, so that a file without header does
    // not lose its first asset unnoticed.
    if (const std::optional<QString> header = next()) {
        const QString shown = header->size() > 80 ? header->left(80) + QStringLiteral("…") : *header;
        res.notices << QStringLiteral("Zeile 1 wurde als Überschrift übersprungen: \"%1\"").arg(shown);
        const QStringList f = header->split(QLatin1Char(';'));
        see(res, f.value(0));
        if (f.size() > 6) {
            QString amount = f[6].toUpper().trimmed();
            amount.remove(QStringLiteral("€"));
            if (isNumber(amount.trimmed()))
                res.notices << QStringLiteral("Achtung: Zeile 1 sieht wie eine Anlage aus (Betrag \"%1\"); sie wurde "
                                              "dennoch als Überschrift gelesen.")
                                   .arg(f[6].trimmed());
        }
    }
    int lineNr = 0;
    while (const std::optional<QString> text = next()) {
        ++lineNr;
        const QString& line = *text;
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed == emptySheetRow)
            continue;
        if (status && lineNr % 500 == 1)
            status(QStringLiteral("Aktuelle Zeile d. Importdatei: %1").arg(lineNr));
        const QStringList f = line.split(QLatin1Char(';'));
        auto field = [&f](int n) { return n < f.size() ? f[n] : QString(); };
        see(res, field(0));
        QStringList preview{QString::number(lineNr), field(0), field(1), field(3), field(6)};
        for (int col : {26, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39})
            preview << field(col);
        if (res.preview.size() < kMaxRow)
            res.preview.append(preview);
        res.records = lineNr;
        TBrenvikDatenimport rec;
        rec.zeile_nr = lineNr;
        QString why;
        if (f.size() <= 6) {
            why = QStringLiteral("Die Zeile hat nur %1 Felder (mindestens 7 erwartet).").arg(f.size());
        } else if (f[0].trimmed().size() > kMaxKontoLength) {
            why = QStringLiteral("Der Text für \"Kontonummer\" ist zu lang (%1 Zeichen, höchstens %2 erlaubt).")
                      .arg(f[0].trimmed().size())
                      .arg(kMaxKontoLength);
        } else if (f[1].size() > kMaxDescriptionLength) {
            why = QStringLiteral("Der Text für \"Anlagebezeichnung\" ist zu lang (%1 Zeichen, höchstens %2 erlaubt).")
                      .arg(f[1].size())
                      .arg(kMaxDescriptionLength);
        } else if (!readDate(f[3], rec.anschaffungsdatum)) {
            why = QStringLiteral("Kein gültiges Anschaffungsdatum (TT.MM.JJJJ): \"%1\"").arg(f[3].trimmed());
        } else {
            QString amount = f[6].toUpper().trimmed();
            amount.remove(QStringLiteral("€"));
            amount = amount.trimmed();
            if (isNumber(amount)) // no amount: rather not staged than staged with a wrong one
                rec.ahk = TextToFloat(amount);
            else
                why = QStringLiteral("Kein gültiger AHK-Betrag: \"%1\"").arg(f[6].trimmed());
        }
        if (!why.isEmpty()) {
            fail(res, lineNr, why, field(0), field(1));
            continue;
        }
        rec.konto_nr = f[0];
        // The text layout keeps descriptions whole: it is the layout of the register export, whose texts must
        // come back as they were.
        rec.anlagebezeichnung = f[1];
        applyExtras(
            rec, o, [&](int col) { return field(col - 1); }, 0);
        // A text the register cannot hold whole is no reason to cut it silently: the line is listed.
        if (rec.gruppe.size() > 100)
            why = QStringLiteral("Der Text für \"Gruppe\" (Spalte AA) ist zu lang (%1 Zeichen, höchstens 100 erlaubt).")
                      .arg(rec.gruppe.size());
        else if (rec.zusaetze.size() > 500)
            why = QStringLiteral("Der Text für \"Notiz\" (Spalte AC) ist zu lang (%1 Zeichen, höchstens 500 erlaubt).")
                      .arg(rec.zusaetze.size());
        if (!why.isEmpty()) {
            fail(res, lineNr, why, field(0), field(1));
            continue;
        }
        st.stage(rec, lineNr);
    }
    const int counted = res.failed;
    res.messages.append(
        counted > 0 ? ImportMessage{QStringLiteral("Der Import ist abgeschlossen.\r\nEs konnten nicht alle "
                                                   "Zeilen in die Datenbank übernommen werden. \r\nBitte "
                                                   "überprüfen Sie den Import auf Vollständigkeit."),
                                    MsgIcon::Warning}
                    : ImportMessage{QStringLiteral("Der Import wurde erfolgreich abgeschlossen."), MsgIcon::Warning});
}

} // namespace

namespace {

// The reading of one file: text from the device, or the worksheet that book reads.
bool parseWith(ImportLayout layout, const ImportOptions& options, ImportResult& res, const StageRecord& stage,
               const std::function<void(const QString& status)>& status, QIODevice* text,
               const std::function<Worksheet()>& book) {
    Stager st(res, stage);
    try {
        if (layout == ImportLayout::Text) {
            TextLineReader reader(*text);
            bool first = true;
            readText(
                [&]() -> std::optional<QString> {
                    QString line;
                    if (!reader.next(line))
                        return std::nullopt;
                    if (first) {
                        first = false;
                        // Only UTF-8 without a byte order mark is a guess worth telling; plain ASCII reads alike.
                        if (reader.encoding() == TextLineReader::Encoding::Utf8)
                            res.notices << reader.encodingNotice();
                    }
                    return line;
                },
                options, st, res, status);
        } else {
            const Worksheet ws = book();
            res.sheetName = ws.sheetName;
            if (!ws.sheetNotice.isEmpty())
                res.notices << ws.sheetNotice;
            if (layout == ImportLayout::Datev2021) {
                readDatev(ws, options, st, res, status);
            } else {
                // The layout follows the first row that names the amount column.
                bool hl = false;
                for (int r = 1; r <= 2000 && r <= ws.rowCount(); ++r) {
                    if (isMarker(ws, r, 6))
                        break;
                    if (isMarker(ws, r, 12) || isMarker(ws, r, 11) || isMarker(ws, r, 8)) {
                        hl = true;
                        break;
                    }
                }
                if (hl)
                    readColumnHL(ws, options, st, res, status);
                else
                    readStandard(ws, options, st, res, status);
            }
        }
    } catch (const EBrvWorkbookError& e) {
        res.messages.append({e.message(), MsgIcon::Error});
        stopEarly(res, 0, e.message());
        return false;
    } catch (const Exception& e) {
        stopEarly(res, res.records, e.message());
        res.messages.append(
            {layout == ImportLayout::Text
                 ? QStringLiteral("Die Datei kann nicht gelesen werden.\r\nSystemmeldung: ") + e.message()
                 : kReadFailed.arg(res.records),
             MsgIcon::Error});
    }
    return true;
}

} // namespace

bool ParseImportData(const QByteArray& bytes, ImportLayout layout, const ImportOptions& options, ImportResult& res,
                     const StageRecord& stage, const std::function<void(const QString& status)>& status) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return parseWith(layout, options, res, stage, status, &buffer, [&] { return ReadWorkbookBytes(bytes); });
}

ImportResult ReadImportFile(int mandantNr, const QString& path, ImportLayout layout, const ImportOptions& options,
                            const std::function<void(const QString& status)>& status) {
    ImportResult res;
    res.file = path;
    try {
        DeleteDatenimporte(mandantNr);
    } catch (const Exception& e) {
        res.messages.append(
            {QStringLiteral("Fehler beim Zugriff auf die Datenbank.\r\nFehlernachricht: ") + e.message(),
             MsgIcon::Error});
        return res;
    }
    // Read as it goes: neither a text file nor a workbook is held whole.
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        const QString why = f.errorString();
        res.messages.append({layout == ImportLayout::Text
                                 ? QStringLiteral("Die Datei kann nicht gelesen werden.\r\nSystemmeldung: ") + why
                                 : QStringLiteral("Die Datei kann nicht gelesen werden: ") + why,
                             MsgIcon::Error});
        stopEarly(res, 0, why);
        return res;
    }
    if (layout != ImportLayout::Text)
        f.close();
    int pending = 0;
    std::optional<DatenimportInserter> inserter;
    const StageRecord insert = [&](const TBrenvikDatenimport& d) {
        TBrenvikDatenimport r = d;
        r.brv_mandant_nr = 1;
        r.mandant_nr = mandantNr;
        if (!inserter)
            inserter.emplace();
        inserter->insert(r);
        // Committed in chunks: one prepared statement, not one transaction per row.
        if (++pending >= kChunk) {
            BrvCommit();
            pending = 0;
        }
    };
    const bool readable = parseWith(layout, options, res, insert, status, &f, [&] { return ReadWorkbook(path); });
    inserter.reset();
    try {
        BrvCommit();
    } catch (const Exception& e) {
        stopEarly(res, 0, e.message());
        res.messages.append(
            {QStringLiteral("Fehler beim Zugriff auf die Datenbank.\r\nFehlernachricht: ") + e.message(),
             MsgIcon::Error});
    }
    if (!readable)
        return res; // the file was no workbook: its message says all
    if (!res.preview.isEmpty()) {
        QStringList dups;
        try {
            dups = GetDoppelteKontoNr(mandantNr);
        } catch (const Exception&) {
        }
        if (!dups.isEmpty())
            res.messages.append({QStringLiteral("Es wurden Duplikate (doppelte Kontonummern) während des Datenimportes "
                                                "gefunden.\r\nNachfolgend sind einige der doppelt vorkommenden "
                                                "Kontonummern aufgelistet: \r\n\r\n") +
                                     dups.mid(0, 7).join(QLatin1Char(',')) +
                                     QStringLiteral("\r\n\r\n\r\nBitte korrigieren Sie zunächst die Importdatei. \r\n"),
                                 MsgIcon::Warning});
    } else {
        res.messages.append(
            {QStringLiteral("Es wurden keine gültigen Datensätze im Anlagenverzeichnis gefunden.\r\nBitte "
                            "überprüfen Sie ggf. die Datenstrukturen/ Inhalte der zu importierenden Datei."),
             MsgIcon::Information});
    }
    return res;
}
