#include "migration/migration.h"

#include "db/brenvik_types.h"
#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "platform/paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include <memory>
#include <optional>

namespace {

// A yes/no column of the legacy file: mdb-export writes 1 and 0 (some versions also true/false).
QString flag(const QString& v) {
    const QString t = v.trimmed().toLower();
    return t == QLatin1String("1") || t == QLatin1String("true") || t == QLatin1String("-1") ? QStringLiteral("1")
                                                                                             : QStringLiteral("0");
}

double number(const QString& v) {
    if (v.trimmed().isEmpty())
        return 0;
    bool ok = false;
    const double d = v.trimmed().toDouble(&ok); // mdb-export writes numbers in the C form
    if (!ok)
        throw Exception(QStringLiteral("\"%1\" ist keine gültige Zahl.").arg(v));
    return d;
}

int whole(const QString& v) {
    return int(number(v));
}

// A date of the legacy file; nothing when the field is empty or holds no date. mdb-export prints the dates it
// cannot convert (before 1900, the year 9999 some forms used for "open") as "00.01.1900", day 0.
std::optional<TDateTime> legacyDate(const QString& v) {
    const QString t = v.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    const QDateTime dt = QDateTime::fromString(t, QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (dt.isValid())
        return DateTimeToTDateTime(dt);
    try {
        return TextToDate(t);
    } catch (const Exception&) {
        return std::nullopt;
    }
}

// A time stamp of the legacy file; 0 (the time of the takeover is kept) when it holds none.
TDateTime dateTime(const QString& v) {
    return legacyDate(v).value_or(0);
}

struct Section {
    const char* table;
    const char* success;
    const char* failure;
};

} // namespace

QString MigrationStartRefusal() {
    try {
        if (GetMaxMandantNr() != 0)
            return QStringLiteral("Ein Start der Migration ist nicht mehr möglich.\rEs sind bereits Datensätze in die "
                                  "Datenbank geschrieben worden!");
        return {};
    } catch (const Exception& e) {
        return QStringLiteral("Datenbankfehler: Ein Start der Migration ist nicht möglich.\rSystemmeldung: ") +
               e.message();
    }
}

bool RunMigration(LegacySource& source, const QString& dataFolder, const MigrationCallbacks& cb) {
    const QString base = platform::withTrailingSeparator(dataFolder);
    // The migration writes the clients it creates under their locks, like any seat, and gives them back at its end.
    struct MigratedClients {
        QList<int> numbers;
        ~MigratedClients() {
            QString holder;
            for (int nr : numbers)
                try {
                    MandantLock(false, BrvUserNr(), nr, holder);
                } catch (...) {
                }
        }
    } migrated;
    const Section sections[] = {{"MANDANTEN", "Mandantenstammdaten erfolgreich migriert. ",
                                 "Fehler bei der Migration der Mandantenstammdaten. "},
                                {"ADRESSEN", "Adressen zu Mandantenstammdaten erfolgreich migriert. ",
                                 "Fehler bei der Migration der Adressdaten. "},
                                {"VORRAETE", "Kennzahlen zu Mandantenstammdaten erfolgreich migriert. ",
                                 "Fehler bei der Migration der Kennzahlen zu Mandanten. "},
                                {"TEC_DATENIMPORT", "Versicherungswerte erfolgreich migriert. ",
                                 "Fehler bei der Migration der Versicherungswerte. "}};
    for (int s = 0; s < 4; ++s) {
        int count = 0;
        // The legacy keys are unique in a sound file; a repeated one would silently replace the row before it.
        QSet<QString> keys;
        const auto once = [&keys, &s, &sections](const QString& key) {
            if (keys.contains(key))
                throw Exception(QStringLiteral("Der Schlüssel %1 kommt in der Tabelle %2 mehrfach vor.")
                                    .arg(key, QString::fromLatin1(sections[s].table)));
            keys.insert(key);
        };
        try {
            const LegacyTable t = source.table(QString::fromLatin1(sections[s].table));
            const int total = int(t.rows.size());
            for (int r = 0; r < total; ++r) {
                // A record and the stamp of its dates go together or not at all.
                BrvUnitOfWork record;
                const TDateTime now = BrvNow();
                if (s == 0) {
                    TBrenvikMandant m;
                    m.mandant_nr = whole(t.value(r, QStringLiteral("MANDANT-LFD")));
                    m.firma = t.value(r, QStringLiteral("MANDANT-FIRMA"));
                    once(QString::number(m.mandant_nr));
                    m.sicherungspfad = base + LegacyRelativePath(t.value(r, QStringLiteral("MANDANT_DIR")));
                    m.mandant_sb_datum = EncodeDate(1900, 1, 1);
                    if (SaveMandant(m, true) == 0)
                        throw Exception(
                            QStringLiteral("Der Mandant %1 konnte nicht gespeichert werden.").arg(m.mandant_nr));
                    QString holder;
                    if (MandantLock(true, BrvUserNr(), m.mandant_nr, holder) != kLockDone)
                        throw Exception(
                            QStringLiteral("Der Mandant %1 konnte nicht gesperrt werden.").arg(m.mandant_nr));
                    migrated.numbers << m.mandant_nr;
                    BrvExec(QStringLiteral("UPDATE MANDANTEN SET UPDATE_TS = ? WHERE MANDANT_NR = ?"), SqlTs{now},
                            m.mandant_nr);
                } else if (s == 1) {
                    TBrenvikAdresse a;
                    a.mandant_nr = whole(t.value(r, QStringLiteral("MANDANT_LFD")));
                    a.adress_nr =
                        whole(t.value(r, QStringLiteral("ADRESS_NR"))) + 1; // the legacy numbering starts at 0
                    a.adressbezeichnung = t.value(r, QStringLiteral("NAME_1")) + QStringLiteral(", ") +
                                          t.value(r, QStringLiteral("NAME_2"));
                    a.strasse = t.value(r, QStringLiteral("STRASSE"));
                    a.zusatz = t.value(r, QStringLiteral("ADRESSZUSATZ"));
                    a.plz = t.value(r, QStringLiteral("PLZ_ADR"));
                    a.ort = t.value(r, QStringLiteral("ORT"));
                    a.postfach = t.value(r, QStringLiteral("POSTFACH"));
                    a.postfach_plz = t.value(r, QStringLiteral("PLZ_PST"));
                    a.telefon1 = t.value(r, QStringLiteral("TELEFON"));
                    a.fax = t.value(r, QStringLiteral("FAX"));
                    a.email1 = t.value(r, QStringLiteral("EMAIL"));
                    a.standorttyp_nr = qint16(whole(t.value(r, QStringLiteral("STANDORTTYP"))));
                    once(QStringLiteral("%1/%2").arg(a.mandant_nr).arg(a.adress_nr - 1));
                    SaveAdresse(a);
                    const TDateTime inserted = dateTime(t.value(r, QStringLiteral("INSERT_TS")));
                    BrvExec(
                        QStringLiteral("UPDATE ADRESSEN SET INSERT_TS = COALESCE(?, INSERT_TS), UPDATE_TS = ? WHERE "
                                       "MANDANT_NR = ? AND ADRESS_NR = ?"),
                        inserted != 0 ? std::optional<SqlTs>(SqlTs{inserted}) : std::nullopt, SqlTs{now}, a.mandant_nr,
                        a.adress_nr);
                } else if (s == 2) {
                    TBrenvikKennzahlenHist k;
                    k.mandant_nr = whole(t.value(r, QStringLiteral("VORRÄTE-LFD")));
                    k.bilanzjahr = qint16(whole(t.value(r, QStringLiteral("VORRÄTE-JAHR"))));
                    k.fertige_erz_bilanz = number(t.value(r, QStringLiteral("VORRÄTE-FERTIGE-B")));
                    k.unfertige_erz_bilanz = number(t.value(r, QStringLiteral("VORRÄTE-UNFERTIG-B")));
                    k.lager_bstoffe_bilanz = number(t.value(r, QStringLiteral("VORRÄTE-LAGER-B")));
                    k.fertige_erz_max = number(t.value(r, QStringLiteral("VORRÄTE-FERTIG-M")));
                    k.unfertige_erz_max = number(t.value(r, QStringLiteral("VORRÄTE-UNFERTIG-M")));
                    k.lager_bstoffe_max = number(t.value(r, QStringLiteral("VORRÄTE-LAGER-M")));
                    once(QStringLiteral("%1/%2").arg(k.mandant_nr).arg(k.bilanzjahr));
                    SaveKennzahlenHist(k);
                    BrvExec(QStringLiteral(
                                "UPDATE KENNZAHLEN_HIST SET UPDATE_TS = ? WHERE MANDANT_NR = ? AND BILANZJAHR = ?"),
                            SqlTs{now}, k.mandant_nr, int(k.bilanzjahr));
                } else {
                    TBrenvikVersWerte v;
                    v.mandant_nr = whole(t.value(r, QStringLiteral("MANDANT_LFD")));
                    v.anlage_nr = whole(t.value(r, QStringLiteral("ANLAGE_NR")));
                    v.anlage_sub_nr = whole(t.value(r, QStringLiteral("SUB_NR")));
                    v.konto_nr = QString::number(whole(t.value(r, QStringLiteral("KONTO_NR"))));
                    v.anlagebezeichnung = t.value(r, QStringLiteral("ANLAGEBEZEICHNUNG"));
                    const QString acquired = t.value(r, QStringLiteral("DATUM_ANSCHAFFUNG"));
                    const std::optional<TDateTime> acquiredOn = legacyDate(acquired);
                    v.anschaffungsdatum = acquiredOn.value_or(0);
                    v.ahk = number(t.value(r, QStringLiteral("AHK")));
                    v.listenpreis = number(t.value(r, QStringLiteral("LISTENPREIS")));
                    v.versicherungswert = number(t.value(r, QStringLiteral("VERS_WERT")));
                    v.gemeiner_wert = number(t.value(r, QStringLiteral("GEMEINER_WERT")));
                    v.zeitwert = number(t.value(r, QStringLiteral("ZEITWERT")));
                    v.nutzungsdauer = whole(t.value(r, QStringLiteral("NUTZUNGSDAUER")));
                    v.elektronik_vers = flag(t.value(r, QStringLiteral("ELEKTRONIK_VERS")));
                    v.maschinen_vers = flag(t.value(r, QStringLiteral("MASCHINEN_VERS")));
                    v.lagerung_aussen = flag(t.value(r, QStringLiteral("LAGERUNG_AUSSEN")));
                    v.kategorie_nr = whole(t.value(r, QStringLiteral("KATEGORIE_ID")));
                    v.kategorie_nr_umbasiert = whole(t.value(r, QStringLiteral("ALT_KATEGORIE_ID")));
                    const QString address = t.value(r, QStringLiteral("ADRESS_NR")).trimmed();
                    v.adress_nr = address.isEmpty() ? 0 : whole(address) + 1;
                    v.geloescht = flag(t.value(r, QStringLiteral("GELOESCHT")));
                    v.bearbeitung = flag(t.value(r, QStringLiteral("BEARBEITUNG")));
                    if (!acquiredOn && !acquired.trimmed().isEmpty()) {
                        // As the import takes a date it cannot read: the asset keeps a visible stand-in date and
                        // is marked to be worked on, instead of the whole migration ending at it.
                        v.anschaffungsdatum = EncodeDate(1900, 1, 1);
                        v.bearbeitung = QStringLiteral("1");
                    }
                    // Older files have no building column.
                    v.gebaeude = t.has(QStringLiteral("GEBÄUDE")) ? flag(t.value(r, QStringLiteral("GEBÄUDE")))
                                                                  : QStringLiteral("0");
                    v.software = v.leasing = v.gemietet = v.update_check = v.feste_taxe = QStringLiteral("0");
                    v.abgangsjahr = whole(t.value(r, QStringLiteral("ABGANG_JAHR")));
                    v.gruppe = t.value(r, QStringLiteral("GRUPPE"));
                    v.notiztext = t.value(r, QStringLiteral("NOTIZTEXT"));
                    v.quelle = t.value(r, QStringLiteral("QUELLE"));
                    once(QStringLiteral("%1/%2/%3").arg(v.mandant_nr).arg(v.anlage_nr).arg(v.anlage_sub_nr));
                    SaveVersWert(v);
                    const TDateTime inserted = dateTime(t.value(r, QStringLiteral("INSERT_TS")));
                    BrvExec(QStringLiteral(
                                "UPDATE VERSICHERUNGSWERTE SET INSERT_TS = COALESCE(?, INSERT_TS), UPDATE_TS = ? "
                                "WHERE MANDANT_NR = ? AND ANLAGE_NR = ? AND ANLAGE_SUB_NR = ?"),
                            inserted != 0 ? std::optional<SqlTs>(SqlTs{inserted}) : std::nullopt, SqlTs{now},
                            v.mandant_nr, v.anlage_nr, v.anlage_sub_nr);
                }
                record.commit();
                ++count;
                if (cb.progress)
                    cb.progress(count, total);
            }
            if (cb.log)
                cb.log(QString::fromUtf8(sections[s].success) + QString::number(count) +
                       QStringLiteral(" Datensaetze"));
        } catch (const Exception& e) {
            try {
                BrvCommit();
            } catch (...) {
            }
            if (cb.log)
                cb.log(QString::fromUtf8(sections[s].failure) + QStringLiteral("\r\nSystemmeldung: ") + e.message());
            return false;
        }
    }
    return true;
}

QString LegacyRelativePath(const QString& legacyValue) {
    // The value comes from the old file as it is; whatever it holds, the result stays inside the data folder: a
    // drive ("C:"), a server with its share (\\server\share) and leading separators are dropped, "." goes, and ".."
    // takes back the folder before it, at the top nothing.
    QString p = legacyValue.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool unc = p.startsWith(QLatin1String("//"));
    QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (unc)
        parts = parts.mid(2);
    else if (!parts.isEmpty() && parts.first().size() >= 2 && parts.first()[1] == QLatin1Char(':') &&
             parts.first()[0].isLetter())
        parts.first().remove(0, 2); // "C:" alone, or "C:kunden" relative to that drive
    QStringList kept;
    for (const QString& part : parts) {
        const QString name = part.trimmed();
        if (name.isEmpty() || name == QLatin1String("."))
            continue;
        if (name == QLatin1String("..")) {
            if (!kept.isEmpty())
                kept.removeLast();
            continue;
        }
        kept << part;
    }
    const QString relative = kept.join(QLatin1Char('/'));
    return !relative.isEmpty() && p.endsWith(QLatin1Char('/')) ? relative + QLatin1Char('/') : relative;
}

bool CopyLegacyFolder(const QString& legacyFile, const QString& dataFolder) {
    const QDir source = QFileInfo(legacyFile).absoluteDir();
    const QDir target(dataFolder);
    bool ok = true;
    QDirIterator it(source.absolutePath(), QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString dest = target.filePath(source.relativeFilePath(file));
        if (QFileInfo::exists(dest))
            continue; // the program's own files are never replaced
        if (!QDir().mkpath(QFileInfo(dest).absolutePath()) || !QFile::copy(file, dest))
            ok = false;
    }
    return ok;
}

MigrationRun MigrateLegacyFile(const QString& legacyFile, const QString& dataFolder, const MigrationCallbacks& cb) {
    MigrationRun run;
    std::unique_ptr<MdbToolsSource> source;
    try {
        source = std::make_unique<MdbToolsSource>(legacyFile);
    } catch (const Exception& e) {
        run.error = e.message();
        return run;
    }
    run.opened = true;
    const auto log = [&cb](const QString& line) {
        if (cb.log)
            cb.log(line);
    };
    log(QStringLiteral("Verbindung zur Datenbank erfolgreich hergestellt: ") + legacyFile + QStringLiteral("\r\n"));
    // A failed section has written its error line into the log.
    run.migrated = RunMigration(*source, dataFolder, cb);
    if (!run.migrated)
        return run;
    log(QStringLiteral("Verbindung zur Datenbank beendet."));
    run.copied = CopyLegacyFolder(legacyFile, dataFolder);
    log(run.copied
            ? QStringLiteral("Sicherung der Dateien/ Ordner aus der bisherigen Umgebung erfolgreich beendet.")
            : QStringLiteral("Fehler während des Kopierens der Dateien aus der bisherigen Umgebung. Bitte kopieren "
                             "Sie die Dateien und Ordner manuell in das akt. Installationsverzeichnis."));
    return run;
}
