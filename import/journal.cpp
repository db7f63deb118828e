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

// The check sum and the number of the client's register rows, as they are now.
void registerChecksum(int mandantNr, const QList<Column>& cols, qint64& sum, int& rows) {
    BrvSql q(QStringLiteral("SELECT COALESCE(SUM(MOD(%1, 2147483647)), 0), COUNT(*) FROM VERSICHERUNGSWERTE V WHERE "
                            "V.MANDANT_NR = ?")
                 .arg(rowChecksum(cols, QStringLiteral("V"))),
             mandantNr);
    if (q.next()) {
        sum = q->asBigInt(0);
        rows = q->asInt(1);
    }
}

TakeoverJournalEntry readEntry(const fb::Statement& s, qint64* checksum = nullptr, int* rows = nullptr) {
    if (checksum)
        *checksum = s.asBigInt(11);
    if (rows)
        *rows = s.asInt(12);
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
    "D.REAKTIVIERT, D.STATUS, CASE WHEN D.BILD = '1' THEN 1 ELSE 0 END, D.PRUEFSUMME, D.ZEILEN");

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
    // One check sum over every register row of the client as the takeover leaves it: any later change, addition or
    // deletion shows in it, without a copy of the register as it is after.
    const QList<Column> cols = pictureColumns();
    qint64 sum = 0;
    int rows = 0;
    registerChecksum(mandantNr, cols, sum, rows);
    BrvExec(QStringLiteral("UPDATE DATENUEBERNAHMEN SET NEU = ?, BESTAETIGT = ?, ABGAENGE = ?, REAKTIVIERT = ?, "
                           "PRUEFSUMME = ?, ZEILEN = ?, BILD = '1' WHERE MANDANT_NR = ? AND UEBERNAHME_NR = ?"),
            neu, bestaetigt, abgaenge, reaktiviert, sum, rows, mandantNr, nr);
    const int oldest = nr - kKeptPictures;
    if (oldest > 0) {
        BrvExec(QStringLiteral("DELETE FROM DATENUEBERNAHME_VORHER WHERE MANDANT_NR = ? AND UEBERNAHME_NR <= ?"),
                mandantNr, oldest);
        BrvExec(QStringLiteral("UPDATE DATENUEBERNAHMEN SET BILD = '0' WHERE MANDANT_NR = ? AND UEBERNAHME_NR <= ? "
                               "AND BILD = '1'"),
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
        qint64 checksum = 0;
        int rowCount = 0;
        {
            BrvSql q(QStringLiteral("SELECT FIRST 1 ") + kEntryColumns +
                         QStringLiteral(" FROM DATENUEBERNAHMEN D WHERE D.MANDANT_NR = ? AND D.STATUS = 'A' "
                                        "ORDER BY D.UEBERNAHME_NR DESC"),
                     mandantNr);
            if (q.next()) {
                res.entry = readEntry(q.st(), &checksum, &rowCount);
                found = true;
            }
        }
        if (!found) {
            BrvCommit();
            res.message = QStringLiteral("Es gibt keine Datenübernahme dieses Mandanten, die rückgängig gemacht werden "
                                         "kann.");
            return res;
        }
        const QString what =
            QStringLiteral("Die Datenübernahme vom %1 (%2)").arg(when(res.entry.zeitpunkt), res.entry.datei);
        if (!res.entry.undoable) {
            BrvCommit();
            res.message = what + QStringLiteral(" kann nicht mehr rückgängig gemacht werden: der Stand davor wird "
                                                "nur für die letzten %1 Datenübernahmen aufbewahrt.")
                                     .arg(kKeptPictures);
            return res;
        }
        const QList<Column> cols = pictureColumns();
        // The register as the takeover left it, and nothing else: otherwise the undo would throw away later work.
        qint64 sum = 0;
        int rows = 0, stampedAfter = 0;
        QStringList changed;
        registerChecksum(mandantNr, cols, sum, rows);
        if (sum != checksum || rows != rowCount) {
            // The assets the program's own writes stamped after the takeover, to name them.
            BrvSql q(QStringLiteral("SELECT ANLAGE_NR, ANLAGE_SUB_NR FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ? AND "
                                    "(UPDATE_TS > ? OR INSERT_TS > ?) ORDER BY ANLAGE_NR, ANLAGE_SUB_NR"),
                     mandantNr, SqlTs{res.entry.zeitpunkt}, SqlTs{res.entry.zeitpunkt});
            while (q.next())
                if (++stampedAfter <= 5)
                    changed << (q->asInt(1) ? QStringLiteral("%1/%2").arg(q->asInt(0)).arg(q->asInt(1))
                                            : QString::number(q->asInt(0)));
            BrvCommit();
            QString which;
            if (stampedAfter > 0)
                which = QStringLiteral(" (%1 Anlage(n) danach bearbeitet oder bewertet, z. B. Anlage %2)")
                            .arg(stampedAfter)
                            .arg(changed.join(QStringLiteral(", ")));
            if (rows < rowCount)
                which += QStringLiteral(" (%1 Anlage(n) danach gelöscht)").arg(rowCount - rows);
            else if (rows > rowCount && stampedAfter == 0)
                which += QStringLiteral(" (%1 Anlage(n) danach angelegt)").arg(rows - rowCount);
            res.message = what + QStringLiteral(" kann nicht rückgängig gemacht werden: das Anlagenverzeichnis wurde "
                                                "danach geändert%1. Ein Rückgängigmachen würde diese Arbeit verwerfen.")
                                     .arg(which);
            return res;
        }
        BrvUnitOfWork work;
        BrvExec(QStringLiteral("DELETE FROM VERSICHERUNGSWERTE WHERE MANDANT_NR = ?"), mandantNr);
        BrvExec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (%1) SELECT %1 FROM DATENUEBERNAHME_VORHER WHERE "
                               "MANDANT_NR = ? AND UEBERNAHME_NR = ?")
                    .arg(columnList(cols)),
                mandantNr, res.entry.nr);
        BrvExec(QStringLiteral("UPDATE DATENUEBERNAHMEN SET STATUS = 'R', BILD = '0', RUECKGAENGIG_TS = ?, "
                               "RUECKGAENGIG_LOGIN = ? WHERE MANDANT_NR = ? AND UEBERNAHME_NR = ?"),
                SqlTs{BrvNow()}, platform::loginName().left(128), mandantNr, res.entry.nr);
        BrvExec(QStringLiteral("DELETE FROM DATENUEBERNAHME_VORHER WHERE MANDANT_NR = ? AND UEBERNAHME_NR = ?"),
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
