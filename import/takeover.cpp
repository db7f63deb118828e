#include "import/takeover.h"

#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"
#include "db/indexwerte.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "import/journal.h"
#include "platform/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>
#include <utility>

using platform::MsgIcon;

namespace {

// An asset as the register names it: account and description, trailing blanks not counting (as the database
// compares them).
QString exactKey(QStringView konto, QStringView desc) {
    const auto strip = [](QStringView s) {
        while (!s.isEmpty() && s.back() == u' ')
            s.chop(1);
        return s;
    };
    const QStringView k = strip(konto), d = strip(desc);
    QString out;
    out.reserve(k.size() + 1 + d.size());
    out.append(k);
    out.append(QChar(0));
    out.append(d);
    return out;
}

// The same as the file formats can carry it (ImportMatchText): the register's own export, a workbook layout's cut
// description and a line break in a cell all name the asset they came from.
QString looseKey(QStringView konto, QStringView desc) {
    return exactKey(ImportMatchText(konto), ImportMatchText(desc));
}

// A register row of the client as the plan needs it.
struct Stored {
    int anlageNr, subNr;
    QString konto;            // as ImportMatchText gives it
    QString kontoShown, text; // as stored, to name it
    bool disposable;          // imported, neither rented nor leased, not yet marked as disposed
    bool disposedByImport;    // marked as disposed by an earlier takeover, not by hand
    bool confirmedInRun = false;
};

QList<TBrenvikDatenimport> stagedRows(int mandantNr) {
    QList<TBrenvikDatenimport> rows;
    BrvSql q(
        QStringLiteral("SELECT ZEILE_NR, KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, GRUPPE, ZUSAETZE, "
                       "KATEGORIE_NR, LAGERUNG_AUSSEN, ELEKTRONIK_VERS, MASCHINEN_VERS, LEASING, GEMIETET, GEBAEUDE, "
                       "GELOESCHT, ADRESS_NR, FESTE_TAXE, BEARBEITUNG, ANLAGENTYP_ID FROM DATENIMPORTE "
                       "WHERE MANDANT_NR = ? ORDER BY ZEILE_NR"),
        mandantNr);
    while (q.next()) {
        const fb::Statement& s = q.st();
        TBrenvikDatenimport r;
        r.mandant_nr = mandantNr;
        r.zeile_nr = s.asInt(0);
        r.konto_nr = s.asText(1);
        r.anlagebezeichnung = s.asText(2);
        r.anschaffungsdatum = s.asDateTime(3);
        r.ahk = s.asDouble(4);
        r.gruppe = s.asText(5);
        r.zusaetze = s.asText(6);
        r.kategorie_nr = s.asInt(7);
        r.lagerung_aussen = s.asText(8);
        r.elektronik_vers = s.asText(9);
        r.maschinen_vers = s.asText(10);
        r.leasing = s.asText(11);
        r.gemietet = s.asText(12);
        r.gebaeude = s.asText(13);
        r.geloescht = s.asText(14);
        r.adress_nr = s.asInt(15);
        r.feste_taxe = s.asText(16);
        r.bearbeitung = s.asText(17);
        r.anlagentyp_id = s.asInt(18);
        rows.append(r);
    }
    return rows;
}

} // namespace

QString TakeoverPlan::text() const {
    return QStringLiteral("%1 neu, %2 bestätigt, %3 als Abgang markiert, %4 reaktiviert")
        .arg(newRows)
        .arg(confirmed)
        .arg(toDispose)
        .arg(reactivated);
}

bool TakeoverPlan::needsConfirmation() const {
    return failedReadRows > 0 || readIncomplete || (toDispose > 0 && toDispose * 5 > importedAssets);
}

QString TakeoverPlan::question() const {
    QString q =
        QStringLiteral("Die Datenübernahme wird folgende Änderungen vornehmen:\r\n") + text() + QStringLiteral(".\r\n");
    if (readIncomplete)
        q += QStringLiteral("\r\nDie Importdatei wurde nicht vollständig gelesen; es wird keine Anlage als Abgang "
                            "markiert.");
    if (failedReadRows > 0)
        q += QStringLiteral("\r\n%1 Zeile(n) der Importdatei konnten nicht bereitgestellt werden.").arg(failedReadRows);
    if (protectedAssets > 0)
        q += readIncomplete
                 ? QStringLiteral("\r\n%1 Anlage(n), die nicht bestätigt wurden, werden deshalb nicht als Abgang "
                                  "markiert.")
                       .arg(protectedAssets)
                 : QStringLiteral("\r\n%1 Anlage(n), die nicht bestätigt wurden, deren Kontonummer aber in der Datei "
                                  "steht, werden nicht als Abgang markiert.")
                       .arg(protectedAssets);
    if (toDispose > 0 && toDispose * 5 > importedAssets)
        q += QStringLiteral("\r\n%1 von %2 importierten Anlagen werden als Abgang markiert.")
                 .arg(toDispose)
                 .arg(importedAssets);
    if (!disposalExamples.isEmpty())
        q += QStringLiteral("\r\nAls Abgang markiert werden: ") + disposalExamples.join(QStringLiteral("; ")) +
             (toDispose > disposalExamples.size() ? QStringLiteral("; …") : QString());
    return q + QStringLiteral("\r\n\r\nSollen die Daten trotzdem übernommen werden?");
}

TakeoverResult TakeOverStaged(int mandantNr, int standardIndex, const ImportResult* read,
                              const ConfirmTakeover& confirm, const std::function<void(int n)>& progress) {
    TakeoverResult res;
    const TDateTime start = BrvNow();
    const auto dbFailure = [&res](const QString& message) {
        res.aborted = true;
        res.messages.append({QStringLiteral("Fehler beim Zugriff auf die Datenbank.\r\nFehlernachricht: ") + message +
                                 QStringLiteral("\r\n\r\nDer Datenübernahmeprozess wird abgebrochen."),
                             MsgIcon::Error});
    };
    QList<TBrenvikDatenimport> staged;
    QHash<QString, QList<int>> exactKnown, looseKnown; // key -> indexes into stored
    QList<std::pair<QString, QString>> texts;          // account and description of each stored row
    QList<Stored> stored;
    int maxNr = 0;
    std::optional<int> abgangsjahr;
    try {
        RequireMandantLock(mandantNr);
        // Every staged row counts, whatever gaps the reading left in the line numbers.
        staged = stagedRows(mandantNr);
        if (staged.isEmpty()) {
            res.refused = true;
            res.messages.append({QStringLiteral("Es sind keine geprüften Daten zur Übernahme vorhanden.\r\nBitte lesen "
                                                "Sie die Importdatei zunächst mit \"Daten prüfen/ Vorschau\" ein."),
                                 MsgIcon::Warning});
            return res;
        }
        maxNr = GetMaxAnlageNr(mandantNr);
        // The client's register once, instead of one look-up per staged row.
        BrvSql q(QStringLiteral("SELECT KONTO_NR, ANLAGEBEZEICHNUNG, ANLAGE_NR, ANLAGE_SUB_NR, QUELLE, GEMIETET, "
                                "LEASING, GELOESCHT, ABGANG_IMPORT FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? "
                                "ORDER BY ANLAGE_NR, ANLAGE_SUB_NR"),
                 mandantNr);
        while (q.next()) {
            const QString konto = q->asText(0);
            const bool disposed = q->asText(7) == QLatin1String("1");
            exactKnown[exactKey(konto, q->asText(1))].append(int(stored.size()));
            texts.append({konto, q->asText(1)});
            stored.append({q->asInt(2), q->asInt(3), ImportMatchText(konto), konto.trimmed(), q->asText(1).left(60),
                           q->asText(4) == QLatin1String("IMPORT") && q->asText(5) == QLatin1String("0") &&
                               q->asText(6) == QLatin1String("0") && !disposed,
                           disposed && q->asText(8) == QLatin1String("1")});
        }
        BrvCommit();
    } catch (const Exception& e) {
        dbFailure(e.message());
        return res;
    }

    // The plan: which staged rows confirm assets, which are new, which imported assets the file no longer lists.
    // An asset is taken for a disposal only on proof: the file was read to its end and no row of it, staged or
    // not, carries the asset's account number.
    QSet<QString> fileKonten;
    if (read) {
        fileKonten = read->seenKonten;
        for (const ImportFailure& f : read->failures)
            fileKonten.insert(ImportMatchText(f.konto));
        for (const ImportFailure& f : read->skipped)
            fileKonten.insert(ImportMatchText(f.konto));
        fileKonten.remove(QString());
        res.plan.failedReadRows = read->failed;
        res.plan.readIncomplete = !read->complete;
    }
    for (const TBrenvikDatenimport& d : std::as_const(staged))
        fileKonten.insert(ImportMatchText(d.konto_nr));
    // Which register rows each staged row confirms. A register row that a staged row names exactly is its own;
    // the others may be found as the file formats carry their texts, each by one asset of the file only, so that
    // two assets of the file that read alike once cut or converted are never taken for one.
    QStringList keys;
    keys.reserve(staged.size());
    for (const TBrenvikDatenimport& d : staged)
        keys.append(exactKey(d.konto_nr, d.anlagebezeichnung));
    QHash<QString, QList<int>> matches; // exact key of a staged row -> the register rows it confirms
    QList<bool> seen(stored.size(), false);
    for (const QString& k : std::as_const(keys)) {
        if (matches.contains(k))
            continue;
        QList<int>& m = matches[k];
        if (const auto it = exactKnown.constFind(k); it != exactKnown.constEnd())
            for (const int i : *it)
                if (!seen[i]) {
                    m.append(i);
                    seen[i] = true;
                }
    }
    for (qsizetype row = 0; row < staged.size(); ++row) {
        QList<int>& m = matches[keys[row]];
        if (!m.isEmpty() || exactKnown.contains(keys[row]))
            continue;
        const TBrenvikDatenimport& d = staged[row];
        // Built only when a staged row names no register row exactly: a file read again as it was needs none.
        if (looseKnown.isEmpty())
            for (qsizetype i = 0; i < texts.size(); ++i)
                looseKnown[looseKey(texts[i].first, texts[i].second)].append(int(i));
        if (const auto it = looseKnown.constFind(looseKey(d.konto_nr, d.anlagebezeichnung));
            it != looseKnown.constEnd())
            for (const int i : *it)
                if (!seen[i]) {
                    m.append(i);
                    seen[i] = true;
                }
    }
    for (auto it = matches.cbegin(); it != matches.cend(); ++it) {
        if (it->isEmpty() && !exactKnown.contains(it.key()))
            ++res.plan.newRows;
        for (const int i : *it) {
            ++res.plan.confirmed;
            if (stored[i].disposedByImport)
                ++res.plan.reactivated;
        }
    }
    QList<const Stored*> disposals;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const Stored& s = stored[i];
        if (!s.disposable)
            continue;
        ++res.plan.importedAssets;
        if (seen[i])
            continue;
        if (res.plan.readIncomplete || fileKonten.contains(s.konto)) {
            ++res.plan.protectedAssets;
            continue;
        }
        disposals.append(&s);
        if (res.plan.disposalExamples.size() < 10)
            res.plan.disposalExamples << QStringLiteral("Anlage %1 (%2 %3)").arg(s.anlageNr).arg(s.kontoShown, s.text);
    }
    res.plan.toDispose = int(disposals.size());
    if (res.plan.needsConfirmation() && !(confirm && confirm(res.plan))) {
        res.refused = true;
        res.messages.append(
            {QStringLiteral("Die Datenübernahme wurde nicht ausgeführt; der Bestand ist unverändert.\r\n") +
                 QStringLiteral("Geplant waren: ") + res.plan.text() + QLatin1Char('.'),
             MsgIcon::Information});
        return res;
    }

    // Rows added by this run are confirmed by it; only those before it can be unconfirmed.
    const int maxBefore = maxNr;
    try {
        BrvUnitOfWork work;
        res.journalNr = JournalTakeoverBegin(mandantNr, start, read ? read->file : QString());
        VersWertInserter inserter;
        // A disposal that an earlier import inferred is undone when the file lists the asset again; one entered by
        // hand stays.
        fb::Query confirmRow(
            BrvRequireDb(),
            QStringLiteral("UPDATE VERSICHERUNGSWERTE SET UPDATE_TS = ?, UPDATE_CHECK = '1', "
                           "QUELLE = 'IMPORT', ANSCHAFFUNGSJAHR = EXTRACT(YEAR FROM ANSCHAFFUNGSDATUM), "
                           "BEARBEITUNG = CASE WHEN AHK <= 1 THEN '1' ELSE BEARBEITUNG END, "
                           "GELOESCHT = CASE WHEN GELOESCHT = '1' AND ABGANG_IMPORT = '1' THEN '0' ELSE GELOESCHT "
                           "END, ABGANGSJAHR = CASE WHEN GELOESCHT = '1' AND ABGANG_IMPORT = '1' THEN 0 ELSE "
                           "ABGANGSJAHR END, ABGANG_IMPORT = NULL "
                           "WHERE MANDANT_NR = ? AND ANLAGE_NR = ? AND ANLAGE_SUB_NR = ?"));
        QHash<QString, int> added; // key -> asset number added by this run
        QSet<QString> protectedKonten;
        for (qsizetype row = 0; row < staged.size(); ++row) {
            const TBrenvikDatenimport& d = staged.at(row);
            try {
                const QString& k = keys.at(row);
                const QList<int>& m = matches[k];
                if (!m.isEmpty()) {
                    for (const int i : m) {
                        if (stored[i].confirmedInRun)
                            continue;
                        bindAll(*confirmRow, SqlTs{start}, mandantNr, stored[i].anlageNr, stored[i].subNr);
                        confirmRow->execute(BrvActiveTrans());
                        stored[i].confirmedInRun = true;
                        ++res.confirmed;
                        if (stored[i].disposedByImport)
                            ++res.reactivated;
                    }
                } else if (!added.contains(k)) {
                    TBrenvikVersWerte r;
                    r.brv_mandant_nr = 1;
                    r.mandant_nr = mandantNr;
                    r.insert_ts = start;
                    r.anlage_nr = maxNr + 1;
                    r.anlage_sub_nr = 0;
                    r.konto_nr = d.konto_nr;
                    r.anlagebezeichnung = d.anlagebezeichnung;
                    r.anschaffungsdatum = d.anschaffungsdatum;
                    r.anschaffungsjahr = YearOf(d.anschaffungsdatum);
                    r.ahk = d.ahk;
                    r.listenpreis = d.ahk;
                    r.versicherungswert = d.feste_taxe == QLatin1String("1") ? d.ahk : 0;
                    r.elektronik_vers = d.elektronik_vers;
                    r.maschinen_vers = d.maschinen_vers;
                    r.lagerung_aussen = d.lagerung_aussen;
                    r.gebaeude = d.gebaeude;
                    r.leasing = d.leasing;
                    r.gemietet = d.gemietet;
                    r.feste_taxe = d.feste_taxe;
                    r.geloescht = d.geloescht;
                    r.software = QStringLiteral("0");
                    r.kategorie_nr = d.kategorie_nr != 0 ? d.kategorie_nr : standardIndex;
                    r.adress_nr = d.adress_nr;
                    r.anlagentyp_id = d.anlagentyp_id;
                    r.gruppe = d.gruppe;
                    r.notiztext = d.zusaetze;
                    r.bearbeitung = d.ahk <= 1 ? QStringLiteral("1") : d.bearbeitung;
                    r.quelle = QStringLiteral("IMPORT");
                    inserter.insert(r);
                    ++maxNr;
                    // A second staged row of the same asset confirms the one just added.
                    added.insert(k, r.anlage_nr);
                    ++res.added;
                }
            } catch (const Exception&) {
                // The row's own statement failed and changed nothing; the asset it stands for stays as it is.
                ++res.failedRows;
                protectedKonten.insert(ImportMatchText(d.konto_nr));
            }
            if (progress)
                progress(d.zeile_nr);
        }
        // Every asset the run neither confirmed nor added counts as not seen by this import. Setting this after the
        // rows, not before them, writes each row once.
        BrvExec(QStringLiteral(
                    "UPDATE VERSICHERUNGSWERTE SET UPDATE_CHECK = '0' WHERE MANDANT_NR = ? AND ANLAGE_NR <= ? "
                    "AND (UPDATE_TS IS NULL OR UPDATE_TS <> ?) AND (UPDATE_CHECK IS NULL OR UPDATE_CHECK <> '0')"),
                mandantNr, maxBefore, SqlTs{start});
        // A disposal that cannot be marked leaves its asset in the register: reported, never a reason to lose the
        // confirmations and new assets of this run.
        if (!disposals.isEmpty()) {
            try {
                abgangsjahr = GetMaxIndexjahr();
            } catch (const Exception&) {
                res.disposalFailed = true;
            }
        }
        if (abgangsjahr) {
            fb::Query dispose(BrvRequireDb(),
                              QStringLiteral("UPDATE VERSICHERUNGSWERTE SET ABGANGSJAHR = ?, GELOESCHT = '1', "
                                             "ABGANG_IMPORT = '1' WHERE MANDANT_NR = ? AND ANLAGE_NR = ? AND "
                                             "ANLAGE_SUB_NR = ?"));
            for (const Stored* s : disposals) {
                if (protectedKonten.contains(s->konto))
                    continue;
                try {
                    bindAll(*dispose, *abgangsjahr, mandantNr, s->anlageNr, s->subNr);
                    dispose->execute(BrvActiveTrans());
                    ++res.disposed;
                } catch (const Exception&) {
                    res.disposalFailed = true;
                }
            }
        }
        if (res.disposalFailed)
            res.messages.append({QStringLiteral("Während der Ermittlung bzw. Kennzeichnung der Anlagenabgänge ist ein "
                                                "Fehler aufgetreten.\r\nBitte prüfen Sie das Anlageverzeichnis auf "
                                                "ungültige oder fehlende Abgänge."),
                                 MsgIcon::Warning});
        JournalTakeoverEnd(mandantNr, res.journalNr, res.added, res.confirmed, res.disposed, res.reactivated);
        work.commit();
    } catch (const Exception& e) {
        res.confirmed = res.added = res.disposed = res.failedRows = res.reactivated = 0;
        res.journalNr = 0;
        res.disposalFailed = false;
        res.messages.clear();
        dbFailure(e.message());
        return res;
    }
    const bool failed = res.failedRows > 0 || res.disposalFailed;
    res.messages.append(
        {(failed ? QStringLiteral("Die Datenübernahme wurde beendet.\r\nEs konnten nicht alle Datensätze "
                                  "korrekt übernommen werden. Bitte prüfen Sie den Bestand und \r\n"
                                  "führen die Importfunktion ggf. erneut aus.")
          // Rows of the file that never reached the staging were not taken over either: no success to report.
          : res.plan.failedReadRows > 0 || res.plan.readIncomplete
              ? QStringLiteral("Die Datenübernahme wurde beendet; die Importdatei wurde jedoch nicht vollständig "
                               "übernommen (%1 Zeile(n) nicht bereitgestellt%2). Bitte prüfen Sie die Liste der nicht "
                               "übernommenen Zeilen.")
                    .arg(res.plan.failedReadRows)
                    .arg(res.plan.readIncomplete ? QStringLiteral(", Datei nicht bis zum Ende gelesen") : QString())
              : QStringLiteral("Die Datenübernahme wurde erfolgreich beendet.")) +
             QStringLiteral("\r\n\r\n%1 neu, %2 bestätigt, %3 als Abgang markiert, %4 reaktiviert.")
                 .arg(res.added)
                 .arg(res.confirmed)
                 .arg(res.disposed)
                 .arg(res.reactivated),
         MsgIcon::Information});
    return res;
}

ArchiveResult ArchiveImportFile(int mandantNr, const QString& file, const QString& sBAKFLD,
                                const QString& useBackupFolderDb) {
    ArchiveResult res;
    const QString failure =
        QStringLiteral("Fehler beim Kopieren der Importdatei. Bitte sichern Sie die Datei manuell\r\n"
                       "Systemmeldung: ");
    try {
        TBrenvikMandant m;
        GetMandant(mandantNr, m);
        const bool noFolder = m.sicherungspfad.trimmed().isEmpty();
        const QString folder =
            platform::resolveClientFolder(m.sicherungspfad, useBackupFolderDb == QLatin1String("1"), sBAKFLD);
        if (noFolder || !QDir(folder).exists()) {
            res.message = {
                QStringLiteral("Das zur Sicherung von Importdateien angegebene Verzeichnis existiert nicht.\r\n"
                               "Bitte sichern Sie die Datei manuell."),
                MsgIcon::Warning};
            return res;
        }
        res.target = folder + FormatDateTimeLocal(QStringLiteral("YYYYMMDD_HHmmss"), BrvNow()) + QLatin1Char('_') +
                     QFileInfo(file).fileName();
        QFile::remove(res.target);
        QFile source(file);
        if (!source.copy(res.target)) {
            res.message = {failure + source.errorString(), MsgIcon::Error};
            return res;
        }
        res.copied = true;
        res.message = {QStringLiteral("Die Importdatei wurde erfolgreich kopiert."), MsgIcon::Information};
    } catch (const Exception& e) {
        res.message = {failure + e.message(), MsgIcon::Error};
    }
    return res;
}
