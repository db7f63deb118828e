#include "import/importer.h"

#include "core/convert.h"
#include "db/dbaccess.h"
#include "db/indexwerte.h"
#include "import/workbook.h"

#include <QFile>
#include <QStringDecoder>

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

void readStandard(const Worksheet& ws, const ImportOptions& o, Stager& st, ImportResult& res,
                  const std::function<void(const QString&)>& status) {
    res.layout = QStringLiteral("standard");
    int withoutRecord = 0;
    bool found = false;
    const int last = std::min(ws.rowCount(), kMaxRow);
    for (int r = 1; r <= last && withoutRecord <= 100; ++r) {
        const QString a = ws.cell(r, 1).trimmed();
        QString b = ws.cell(r, 2).trimmed();
        if (status && r % 500 == 1)
            status(QStringLiteral("Aktueller Datensatz d. Importdatei: %1").arg(r));
        int marker = 0;
        bool markerSeen = false;
        double amount = 0;
        if (!a.isEmpty() && !b.isEmpty()) {
            for (int m = 3; m <= 19 && !marker; ++m) {
                if (!isMarker(ws, r, m))
                    continue;
                markerSeen = true;
                for (int k = m + 1; k <= m + 2 && !marker; ++k)
                    if (numberAt(ws, r, k, amount))
                        marker = m;
            }
        }
        if (!marker) {
            if (found && markerSeen) {
                // An asset row whose amount cannot be read: listed, never silently left out.
                ++res.records;
                fail(res, r, QStringLiteral("Kein gültiger AHK-Betrag neben der Kennung \"AHK\""), a, b);
                withoutRecord = 0;
                continue;
            }
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
    if (ws.rowCount() > kMaxRow && withoutRecord <= 100)
        stopEarly(res, kMaxRow + 1, kBeyondLastRow);
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
    int withoutRecord = 0;
    bool found = false;
    for (int t = start; t <= kMaxRow && withoutRecord <= 100;) {
        if (t > ws.rowCount() + 1)
            break; // only empty rows follow
        const QString a = ws.cell(t, 1).trimmed();
        const QString c = ws.cell(t, 3).trimmed();
        if (status && t % 500 == 1)
            status(QStringLiteral("Aktuelle Zeile d. Importdatei: %1").arg(t));
        int w = t;
        if (!isMarker(ws, t, s) && isMarker(ws, t + 1, s))
            w = t + 1;
        bool record = false;
        const bool candidate = !a.isEmpty() && !c.isEmpty() && isMarker(ws, w, s);
        double amount = 0;
        if (candidate)
            for (int k = s + 1; k <= s + 3 && !record; ++k)
                record = numberAt(ws, w, k, amount);
        if (!record && candidate && res.records > 0) {
            ++res.records;
            fail(res, w, QStringLiteral("Kein gültiger AHK-Betrag neben der Kennung \"AHK\""), a, c);
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
        }
        if (w + 1 > kMaxRow) {
            if (ws.rowCount() > kMaxRow && found)
                stopEarly(res, kMaxRow + 1, kBeyondLastRow);
            break;
        }
        t = w + 1;
    }
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
    int withoutRecord = 0;
    for (int row = start;; ++row) {
        if (row > kMaxRow) {
            res.messages.append({QStringLiteral("Verarbeitung der Datei nach Erreichen der maximalen Anzahl an "
                                                "Datensätzen (65500) beendet\r\nBitte prüfen Sie die Vollständigkeit "
                                                "der Datenübernahme."),
                                 MsgIcon::Error});
            stopEarly(res, row, kBeyondLastRow);
            break;
        }
        if (status && row % 500 == 1)
            status(QStringLiteral("Aktuelle Zeile d. Importdatei: %1").arg(row));
        if (!isMarker(ws, row, 4)) {
            if (++withoutRecord > 100) {
                if (res.records == 0)
                    res.messages.append(
                        {QStringLiteral("Fehler beim Verarbeiten der Excel-Daten (Schwellwert von 100 "
                                        "Datensätzen erreicht).\r\nBitte prüfen Sie, ob die angegebene "
                                        "Datei dem korrekten Format entspricht. \r\nDer Import wurde in "
                                        "Zeile %1 der Excel-Datei abgebrochen.")
                             .arg(row),
                         MsgIcon::Error});
                break;
            }
            continue;
        }
        TBrenvikDatenimport rec;
        QString a = ws.cell(row, 1).trimmed();
        a.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        // A row with the marker is an asset row: when it cannot be staged it is listed, not silently dropped.
        auto skip = [&](const QString& reason) {
            ++res.records;
            const int blank = a.indexOf(QLatin1Char(' '));
            fail(res, row, reason, blank < 0 ? QString() : a.left(blank), blank < 0 ? a : a.mid(blank + 1));
        };
        if (!dateAt(ws, row, 3, rec.anschaffungsdatum) && !dateAt(ws, row, 2, rec.anschaffungsdatum)) {
            skip(QStringLiteral("Fehler, kein valides Anschaffungsdatum gefunden"));
            continue;
        }
        // An empty column E is no amount of its own: the amount of column F counts, as after a 0.
        const Worksheet::Cell* e = ws.at(row, 5);
        const bool emptyE = !e || e->kind == Worksheet::Kind::Empty ||
                            (e->kind == Worksheet::Kind::Text && e->text.trimmed().isEmpty());
        if (emptyE) {
            if (!numberAt(ws, row, 6, rec.ahk)) {
                skip(QStringLiteral("Fehler, AHK Wert konnte nicht ermittelt werden"));
                continue;
            }
        } else if (!numberAt(ws, row, 5, rec.ahk)) {
            skip(QStringLiteral("Fehler, AHK Wert konnte nicht ermittelt werden"));
            continue;
        } else if (rec.ahk == 0 && !numberAt(ws, row, 6, rec.ahk)) {
            rec.ahk = 0;
        }
        if (a.isEmpty()) {
            skip(QStringLiteral("Fehler, Kontonummer und Bezeichnung nicht vorhanden"));
            continue;
        }
        const int blank = a.indexOf(QLatin1Char(' '));
        if (blank < 0) {
            rec.konto_nr = QStringLiteral("0");
            rec.anlagebezeichnung = a;
        } else {
            rec.konto_nr = a.left(blank);
            rec.anlagebezeichnung = a.mid(blank + 1).left(kMaxImportDescription);
        }
        applyExtras(
            rec, o, [&](int col) { return ws.cell(row, col); }, 0);
        rec.zeile_nr = ++res.records;
        if (st.stage(rec, row))
            withoutRecord = 0;
        if (res.records <= 250)
            st.preview(rec);
    }
}

void readText(const QByteArray& bytes, const ImportOptions& o, Stager& st, ImportResult& res,
              const std::function<void(const QString&)>& status) {
    res.layout = QStringLiteral("text");
    QStringList lines = DecodeTextLines(bytes);
    if (!lines.isEmpty())
        lines.removeFirst(); // the header
    static const QString emptySheetRow(52, QLatin1Char(';'));
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNr = i + 1;
        const QString trimmed = lines[i].trimmed();
        if (trimmed.isEmpty() || trimmed == emptySheetRow)
            continue;
        if (status && lineNr % 500 == 1)
            status(QStringLiteral("Aktuelle Zeile d. Importdatei: %1").arg(lineNr));
        const QStringList f = lines[i].split(QLatin1Char(';'));
        auto field = [&f](int n) { return n < f.size() ? f[n] : QString(); };
        QStringList preview{QString::number(lineNr), field(0), field(1), field(3), field(6)};
        for (int col : {26, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39})
            preview << field(col);
        res.preview.append(preview);
        res.records = lineNr;
        TBrenvikDatenimport rec;
        rec.zeile_nr = lineNr;
        QString why;
        if (f.size() <= 6) {
            why = QStringLiteral("Die Zeile hat nur %1 Felder (mindestens 7 erwartet).").arg(f.size());
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
        // Cut like the workbook layouts: the register keeps the imported description at this length.
        rec.anlagebezeichnung = cutDescription(f[0], f[1], res);
        applyExtras(
            rec, o, [&](int col) { return field(col - 1); }, 0);
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

QStringList ReadTextLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(f.errorString());
    return DecodeTextLines(f.readAll());
}

QStringList DecodeTextLines(const QByteArray& bytes) {
    QString text;
    if (const auto bom = QStringConverter::encodingForData(bytes)) {
        QStringDecoder d(*bom);
        text = d.decode(bytes);
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
    } else {
        QStringDecoder d("windows-1252");
        text = d.decode(bytes);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool ParseImportData(const QByteArray& bytes, ImportLayout layout, const ImportOptions& options, ImportResult& res,
                     const StageRecord& stage, const std::function<void(const QString& status)>& status) {
    Stager st(res, stage);
    try {
        if (layout == ImportLayout::Text) {
            readText(bytes, options, st, res, status);
        } else {
            const Worksheet ws = ReadWorkbookBytes(bytes);
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

ImportResult ReadImportFile(int mandantNr, const QString& path, ImportLayout layout, const ImportOptions& options,
                            const std::function<void(const QString& status)>& status) {
    ImportResult res;
    try {
        DeleteDatenimporte(mandantNr);
    } catch (const Exception& e) {
        res.messages.append(
            {QStringLiteral("Fehler beim Zugriff auf die Datenbank.\r\nFehlernachricht: ") + e.message(),
             MsgIcon::Error});
        return res;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > (qint64(1) << 30)) {
        const QString why = f.isOpen() ? QStringLiteral("Die Datei ist zu groß.") : f.errorString();
        res.messages.append({layout == ImportLayout::Text
                                 ? QStringLiteral("Die Datei kann nicht gelesen werden.\r\nSystemmeldung: ") + why
                                 : QStringLiteral("Die Datei kann nicht gelesen werden: ") + why,
                             MsgIcon::Error});
        stopEarly(res, 0, why);
        return res;
    }
    const QByteArray bytes = f.readAll();
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
    const bool readable = ParseImportData(bytes, layout, options, res, insert, status);
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
