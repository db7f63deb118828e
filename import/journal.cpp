#include "import/journal.h"

#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"
#include "platform/paths.h"

#include <QStringList>

#include <algorithm>

namespace {

// Takeovers whose picture of the register is kept, per client: enough to go back a few steps, without making the
// database grow by a register's size with every import.
constexpr int kKeptPictures = 3;

struct Column {
    QString name;
    int type; // RDB$FIELD_TYPE
};

// The register's columns that the picture table also has, in the register's order.
QList<Column> pictureColumns() {
    QList<Column> cols;
    BrvSql q(QStringLiteral(
        "SELECT TRIM(RF.RDB$FIELD_NAME), F.RDB$FIELD_TYPE FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON "
        "F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE WHERE RF.RDB$RELATION_NAME = 'VERSICHERUNGSWERTE' AND EXISTS "
        "(SELECT 1 FROM RDB$RELATION_FIELDS P WHERE P.RDB$RELATION_NAME = 'DATENUEBERNAHME_VORHER' AND "
        "P.RDB$FIELD_NAME = RF.RDB$FIELD_NAME) ORDER BY RF.RDB$FIELD_POSITION"));
    while (q.next())
        cols.append({q->asText(0), q->asInt(1)});
    return cols;
}

QString columnList(const QList<Column>& cols, const QString& prefix = {}) {
    QStringList names;
    for (const Column& c : cols)
        names << prefix + c.name;
    return names.join(QStringLiteral(", "));
}

// A check sum of a register row over every column (NULL told apart from empty text).
QString rowChecksum(const QList<Column>& cols, const QString& alias) {
    QStringList parts;
    for (const Column& c : cols) {
        const QString col = alias + QLatin1Char('.') + c.name;
        const bool text = c.type == 37 || c.type == 14; // VARCHAR, CHAR
        parts << QStringLiteral("COALESCE('=' || %1, '~')")
                     .arg(text ? col : QStringLiteral("CAST(%1 AS VARCHAR(40))").arg(col));
    }
    return QStringLiteral("HASH(") + parts.join(QStringLiteral(" || '|' || ")) + QLatin1Char(')');
}

TakeoverJournalEntry readEntry(const fb::Statement& s) {
    TakeoverJournalEntry e;
    e.nr = s.asInt(0);
    e.zeitpunkt = s.asDateTime(1);
    e.login = s.asText(2);
    e.datei = s.asText(3);
    e.archiv = s.asText(4);
    e.neu = s.asInt(5);
    e.bestaetigt = s.asInt(6);
    e.abgaenge = s.asInt(7);
    e.reaktiviert = s.asInt(8);
    e.undone = s.asText(9) == QLatin1String("R");
    e.undoable = !e.undone && s.asInt(10) > 0;
    return e;
}

const QString kEntryColumns = QStringLiteral(
    "D.UEBERNAHME_NR, D.ZEITPUNKT, D.LOGIN, D.DATEINAME, D.ARCHIVDATEI, D.NEU, D.BESTAETIGT, D.ABGAENGE, "
    "D.REAKTIVIERT, D.STATUS, (SELECT COUNT(*) FROM DATENUEBERNAHME_NACHHER N WHERE N.MANDANT_NR = D.MANDANT_NR AND "
    "N.UEBERNAHME_NR = D.UEBERNAHME_NR AND N.ANLAGE_NR = -1)");

QString when(TDateTime t) {
    return FormatDateTimeLocal(QStringLiteral("DD.MM.YYYY HH:mm"), t);
}

} // namespace

QList<TakeoverJournalEntry> GetDatenuebernahmen(int mandantNr, int max) {
    QList<TakeoverJournalEntry> list;
    BrvSql q(QStringLiteral("SELECT FIRST ? ") + kEntryColumns +
                 QStringLiteral(" FROM DATENUEBERNAHMEN D WHERE D.MANDANT_NR = ? ORDER BY D.UEBERNAHME_NR DESC"),
             std::max(1, max), mandantNr);
    while (q.next())
        list.append(readEntry(q.st()));
    BrvCommit();
    return list;
}

int JournalTakeoverBegin(int mandantNr, TDateTime start, const QString& file) {
    int nr = 1;
    {
        BrvSql q(QStringLiteral("SELECT MAX(UEBERNAHME_NR) FROM DATENUEBERNAHMEN WHERE MANDANT_NR = ?"), mandantNr);
        if (q.next())
            nr = q->asInt(0) + 1;
    }
    BrvExec(QStringLiteral("INSERT INTO DATENUEBERNAHMEN (MANDANT_NR, UEBERNAHME_NR, ZEITPUNKT, LOGIN, DATEINAME, "
                           "STATUS) VALUES (?, ?, ?, ?, ?, 'A')"),
            mandantNr, nr, SqlTs{start}, platform::loginName().left(128), file.left(1000));
    const QList<Column> cols = pictureColumns();
    BrvExec(QStringLiteral("INSERT INTO DATENUEBERNAHME_VORHER (UEBERNAHME_NR, %1) SELECT ?, %1 FROM "
                           "VERSICHERUNGSWERTE WHERE MANDANT_NR = ?")
                .arg(columnList(cols)),
            nr, mandantNr);
    return nr;
}

void JournalTakeoverEnd(int mandantNr, int nr, int neu, int bestaetigt, int abgaenge, int reaktiviert) {
    BrvExec(QStringLiteral("UPDATE DATENUEBERNAHMEN SET NEU = ?, BESTAETIGT = ?, ABGAENGE = ?, REAKTIVIERT = ? "
                           "WHERE MANDANT_NR = ? AND UEBERNAHME_NR = ?"),
            neu, bestaetigt, abgaenge, reaktiviert, mandantNr, nr);
    const QList<Column> cols = pictureColumns();
    BrvExec(QStringLiteral("INSERT INTO DATENUEBERNAHME_NACHHER (MANDANT_NR, UEBERNAHME_NR, ANLAGE_NR, "
                           "ANLAGE_SUB_NR, PRUEFSUMME) SELECT V.MANDANT_NR, ?, V.ANLAGE_NR, V.ANLAGE_SUB_NR, %1 FROM "
                           "VERSICHERUNGSWERTE V WHERE V.MANDANT_NR = ?")
                .arg(rowChecksum(cols, QStringLiteral("V"))),
            nr, mandantNr);
    // The row (-1, -1) marks a takeover whose picture is kept, also for a client whose register was empty.
    BrvExec(QStringLiteral("INSERT INTO DATENUEBERNAHME_NACHHER (MANDANT_NR, UEBERNAHME_NR, ANLAGE_NR, "
                           "ANLAGE_SUB_NR) VALUES (?, ?, -1, -1)"),
            mandantNr, nr);
    const int oldest = nr - kKeptPictures;
    if (oldest > 0) {
        BrvExec(QStringLiteral("DELETE FROM DATENUEBERNAHME_VORHER WHERE MANDANT_NR = ? AND UEBERNAHME_NR <= ?"),
                mandantNr, oldest);
        BrvExec(QStringLiteral("DELETE FROM DATENUEBERNAHME_NACHHER WHERE MANDANT_NR = ? AND UEBERNAHME_NR <= ?"),
                mandantNr, oldest);
    }
}

void JournalSetArchive(int mandantNr, int nr, const QString& archiv) {
    BrvExec(QStringLiteral("UPDATE DATENUEBERNAHMEN SET ARCHIVDATEI = ? WHERE MANDANT_NR = ? AND UEBERNAHME_NR = ?"),
            archiv.left(1000), mandantNr, nr);
    BrvCommit();
}

UndoTakeoverResult UndoLastTakeover(int mandantNr) {
    UndoTakeoverResult res;
    try {
        RequireMandantLock(mandantNr);
        bool found = false;
        {
            BrvSql q(QStringLiteral("SELECT FIRST 1 ") + kEntryColumns +
                         QStringLiteral(" FROM DATENUEBERNAHMEN D WHERE D.MANDANT_NR = ? AND D.STATUS = 'A' "
                                        "ORDER BY D.UEBERNAHME_NR DESC"),
                     mandantNr);
            if (q.next()) {
                res.entry = readEntry(q.st());
                found = true;
            }
        }
        if (!found) {
            BrvCommit();
            res.message = QStringLiteral("Es gibt keine Datenübernahme dieses Mandanten, die rückgängig gemacht werden "
                                         "kann.");
            return res;
        }
        const QString what = QStringLiteral("Die Datenübernahme vom %1 (%2)").arg(when(res.entry.zeitpunkt),
                                                                                   res.entry.datei);
        if (!res.entry.undoable) {
            BrvCommit();
            res.message = what + QStringLiteral(" kann nicht mehr rückgängig gemacht werden: der Stand davor wird "
                                                "nur für die letzten %1 Datenübernahmen aufbewahrt.")
                                     .arg(kKeptPictures);
            return res;
        }
        const QList<Column> cols = pictureColumns();
        // Every row as the takeover left it, and nothing else: otherwise the undo would throw away later work.
        QStringList changed;
        int changedCount = 0;
        {
            BrvSql q(QStringLiteral("SELECT V.ANLAGE_NR, V.ANLAGE_SUB_NR FROM VERSICHERUNGSWERTE V LEFT JOIN "
                                    "DATENUEBERNAHME_NACHHER N ON N.MANDANT_NR = V.MANDANT_NR AND N.UEBERNAHME_NR = ? "
                                    "AND N.ANLAGE_NR = V.ANLAGE_NR AND N.ANLAGE_SUB_NR = V.ANLAGE_SUB_NR WHERE "
                                    "V.MANDANT_NR = ? AND (N.ANLAGE_NR IS NULL OR N.PRUEFSUMME IS DISTINCT FROM %1) "
                                    "UNION ALL SELECT N.ANLAGE_NR, N.ANLAGE_SUB_NR FROM DATENUEBERNAHME_NACHHER N "
                                    "WHERE N.MANDANT_NR = ? AND N.UEBERNAHME_NR = ? AND N.ANLAGE_NR >= 0 AND NOT "
                                    "EXISTS (SELECT 1 FROM VERSICHERUNGSWERTE V WHERE V.MANDANT_NR = N.MANDANT_NR AND "
                                    "V.ANLAGE_NR = N.ANLAGE_NR AND V.ANLAGE_SUB_NR = N.ANLAGE_SUB_NR) ORDER BY 1, 2")
                         .arg(rowChecksum(cols, QStringLiteral("V"))),
                     res.entry.nr, mandantNr, mandantNr, res.entry.nr);
            while (q.next()) {
                if (++changedCount <= 5)
                    changed << (q->asInt(1) ? QStringLiteral("%1/%2").arg(q->asInt(0)).arg(q->asInt(1))
                                            : QString::number(q->asInt(0)));
            }
        }
        if (changedCount > 0) {
            BrvCommit();
            res.message = what + QStringLiteral(" kann nicht rückgängig gemacht werden: %1 Anlage(n) wurden danach "
                                                "geändert, angelegt oder gelöscht (Anlage %2%3). Ein Rückgängigmachen "
                                                "würde diese Arbeit verwerfen.")
                                     .arg(changedCount)
                                     .arg(changed.join(QStringLiteral(", ")),
                                          changedCount > 5 ? QStringLiteral(", …") : QString());
            return res;
        }
        BrvUnitOfWork work;
        BrvExec(QStringLiteral("DELETE FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ?"), mandantNr);
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (%1) SELECT %1 FROM DATENUEBERNAHME_VORHER WHERE "
                               "MANDANT_NR = ? AND UEBERNAHME_NR = ?")
                    .arg(columnList(cols)),
                mandantNr, res.entry.nr);
        BrvExec(QStringLiteral("UPDATE DATENUEBERNAHMEN SET STATUS = 'R', RUECKGAENGIG_TS = ?, RUECKGAENGIG_LOGIN = ? "
                               "WHERE MANDANT_NR = ? AND UEBERNAHME_NR = ?"),
                SqlTs{BrvNow()}, platform::loginName().left(128), mandantNr, res.entry.nr);
        BrvExec(QStringLiteral("DELETE FROM DATENUEBERNAHME_VORHER WHERE MANDANT_NR = ? AND UEBERNAHME_NR = ?"),
                mandantNr, res.entry.nr);
        BrvExec(QStringLiteral("DELETE FROM DATENUEBERNAHME_NACHHER WHERE MANDANT_NR = ? AND UEBERNAHME_NR = ?"),
                mandantNr, res.entry.nr);
        work.commit();
        res.done = true;
        res.entry.undone = true;
        res.message = what + QStringLiteral(" wurde rückgängig gemacht; das Anlagenverzeichnis ist wieder wie davor "
                                            "(%1 neue Anlagen entfernt, %2 Abgänge und %3 Reaktivierungen "
                                            "zurückgenommen).")
                                 .arg(res.entry.neu)
                                 .arg(res.entry.abgaenge)
                                 .arg(res.entry.reaktiviert);
    } catch (const Exception& e) {
        try {
            BrvRollback();
        } catch (...) {
        }
        res.done = false;
        res.message = QStringLiteral("Die Datenübernahme konnte nicht rückgängig gemacht werden; das "
                                     "Anlagenverzeichnis ist unverändert.\r\nFehlernachricht: ") +
                      e.message();
    }
    return res;
}
