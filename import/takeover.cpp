#include "import/takeover.h"

#include "db/convert.h"
#include "db/dbaccess.h"
#include "db/indexwerte.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "platform/paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

using platform::MsgIcon;

namespace {

const int kChunk = 2000;

// The register compares texts as the database does: trailing blanks do not count.
QString key(const QString& konto, const QString& desc) {
    auto strip = [](QString s) {
        int n = int(s.size());
        while (n > 0 && s[n - 1] == QLatin1Char(' '))
            --n;
        s.truncate(n);
        return s;
    };
    return strip(konto) + QChar(0) + strip(desc);
}

struct Known {
    int anlageNr, subNr;
    double ahk;
};

QList<TBrenvikDatenimport> stagedRows(int mandantNr) {
    QList<TBrenvikDatenimport> rows;
    BrvSql q(QStringLiteral("SELECT ZEILE_NR, KONTO_NR, ANLAGEBEZEICHNUNG, ANSCHAFFUNGSDATUM, AHK, GRUPPE, ZUSAETZE, "
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

TakeoverResult TakeOverStaged(int mandantNr, int standardIndex, const std::function<void(int n)>& progress) {
    TakeoverResult res;
    const TDateTime start = BrvNow();
    QList<TBrenvikDatenimport> staged;
    QHash<QString, Known> known;
    int maxNr = 0;
    try {
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
        BrvSql q(QStringLiteral("SELECT KONTO_NR, ANLAGEBEZEICHNUNG, ANLAGE_NR, ANLAGE_SUB_NR, AHK FROM "
                                "VERSICHERUNGSWERTE WHERE MANDANT_NR = ? ORDER BY ANLAGE_NR, ANLAGE_SUB_NR"),
                 mandantNr);
        while (q.next()) // the last of several matches counts, as for FindVersWert
            known.insert(key(q->asText(0), q->asText(1)), {q->asInt(2), q->asInt(3), q->asDouble(4)});
        BrvCommit();
    } catch (const Exception& e) {
        res.aborted = true;
        res.messages.append({QStringLiteral("Fehler beim Zugriff auf die Datenbank.\r\nFehlernachricht: ") + e.message() +
                                 QStringLiteral("\r\n\r\nDer Datenübernahmeprozess wird abgebrochen."),
                             MsgIcon::Error});
        return res;
    }
    const int maxBefore = maxNr;
    VersWertInserter inserter;
    fb::Query confirm(BrvRequireDb(),
                      QStringLiteral("UPDATE VERSICHERUNGSWERTE SET UPDATE_TS = ?, UPDATE_CHECK = '1', QUELLE = 'IMPORT', "
                                     "ANSCHAFFUNGSJAHR = EXTRACT(YEAR FROM ANSCHAFFUNGSDATUM), "
                                     "BEARBEITUNG = CASE WHEN AHK <= 1 THEN '1' ELSE BEARBEITUNG END "
                                     "WHERE MANDANT_NR = ? AND ANLAGE_NR = ? AND ANLAGE_SUB_NR = ?"));
    int pending = 0;
    for (const TBrenvikDatenimport& d : staged) {
        try {
            const auto it = known.constFind(key(d.konto_nr, d.anlagebezeichnung));
            if (it != known.constEnd()) {
                bindAll(*confirm, SqlTs{start}, mandantNr, it->anlageNr, it->subNr);
                confirm->execute(BrvActiveTrans());
                ++res.confirmed;
            } else {
                TBrenvikVersWerte r;
                r.brv_mandant_nr = 1;
                r.mandant_nr = mandantNr;
                r.insert_ts = start;
                r.anlage_nr = ++maxNr;
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
                // A second staged row of the same asset confirms the one just added.
                known.insert(key(r.konto_nr, r.anlagebezeichnung), {r.anlage_nr, 0, r.ahk});
                ++res.added;
            }
            if (++pending >= kChunk) {
                BrvCommit();
                pending = 0;
            }
        } catch (const Exception&) {
            ++res.failedRows;
        }
        if (progress)
            progress(d.zeile_nr);
    }
    try {
        BrvCommit();
    } catch (const Exception&) {
        res.failedRows += pending;
    }
    // Every asset the run neither confirmed nor added counts as not seen by this import. Setting this after the
    // rows, not before them, writes each row once: a year-end register would otherwise be written twice. Without
    // a sound mark of what this import saw, no asset is marked as disposed.
    try {
        BrvExec(QStringLiteral("UPDATE VERSICHERUNGSWERTE SET UPDATE_CHECK = '0' WHERE MANDANT_NR = ? AND ANLAGE_NR <= ? "
                               "AND (UPDATE_TS IS NULL OR UPDATE_TS <> ?) AND (UPDATE_CHECK IS NULL OR UPDATE_CHECK <> '0')"),
                mandantNr, maxBefore, SqlTs{start});
        BrvCommit();
        res.disposed = MarkAbgaenge(mandantNr, GetMaxIndexjahr());
    } catch (const Exception&) {
        res.disposalFailed = true;
        res.messages.append({QStringLiteral("Während der Ermittlung bzw. Kennzeichnung der Anlagenabgänge ist ein Fehler "
                                            "aufgetreten.\r\nBitte prüfen Sie das Anlageverzeichnis auf ungültige oder "
                                            "fehlende Abgänge."),
                             MsgIcon::Warning});
    }
    const bool failed = res.failedRows > 0 || res.disposalFailed;
    res.messages.append({failed ? QStringLiteral("Die Datenübernahme wurde beendet.\r\nEs konnten nicht alle Datensätze "
                                                 "korrekt übernommen werden. Bitte prüfen Sie den Bestand und \r\nführen "
                                                 "die Importfunktion ggf. erneut aus.")
                                : QStringLiteral("Die Datenübernahme wurde erfolgreich beendet."),
                         MsgIcon::Information});
    return res;
}

ArchiveResult ArchiveImportFile(int mandantNr, const QString& file, const QString& sBAKFLD,
                                const QString& useBackupFolderDb) {
    ArchiveResult res;
    const QString failure = QStringLiteral("Fehler beim Kopieren der Importdatei. Bitte sichern Sie die Datei manuell\r\n"
                                           "Systemmeldung: ");
    try {
        TBrenvikMandant m;
        GetMandant(mandantNr, m);
        QString folder = useBackupFolderDb == QLatin1String("1") ? sBAKFLD + m.sicherungspfad : m.sicherungspfad;
        // No folder at all must not become the root folder that a lone separator names.
        const bool noFolder = folder.trimmed().isEmpty();
        folder = platform::withTrailingSeparator(folder);
        if (noFolder || !QDir(folder).exists()) {
            res.message = {QStringLiteral("Das zur Sicherung von Importdateien angegebene Verzeichnis existiert nicht.\r\n"
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
