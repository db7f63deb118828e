#include "db/brenvik_config.h"

#include <chrono>
#include <thread>

#include "core/convert.h"
#include "db/dbaccess.h"

#include <QThread>

#include <cmath>

const QString kNotLockedHere =
    QStringLiteral("Die Daten des Mandanten können nicht gespeichert werden, weil der Mandant nicht von diesem "
                   "Arbeitsplatz bearbeitet wird.\r\nBitte wählen Sie den Mandanten erneut aus.");

QString GetKonfiguration(const QString& keyName) {
    try {
        BrvSql q(QStringLiteral("SELECT VALUE_VARCHAR FROM KONFIGURATIONEN WHERE KEY_NAME = ?"), keyName);
        if (!q.next())
            throw EBrvException_NODATA();
        QString value = q->asText(0);
        q->closeCursor();
        BrvCommit();
        return value;
    } catch (const Exception&) {
        throw EBrvException_NODATA(QStringLiteral("Parameter nicht gesetzt"));
    }
}

void SetKonfiguration(const QString& keyName, const QString& value) {
    bool update = true;
    try {
        GetKonfiguration(keyName);
    } catch (const EBrvException_NODATA&) {
        update = false;
    }
    try {
        const TDateTime now = BrvNow();
        if (update)
            BrvExec(QStringLiteral("UPDATE KONFIGURATIONEN SET BRV_MANDANT_NR = 1, MANDANT_NR = 0, UPDATE_TS = ?, "
                                   "VALUE_VARCHAR = ? WHERE BRV_MANDANT_NR = 1 AND KEY_NAME = ?"),
                    SqlTs{now}, value, keyName);
        else
            BrvExec(QStringLiteral("INSERT INTO KONFIGURATIONEN (BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, KEY_NAME, "
                                   "VALUE_VARCHAR) VALUES (1, 0, ?, ?, ?)"),
                    SqlTs{now}, keyName, value);
        BrvCommit();
    } catch (const Exception&) {
        throw EBrvException_DBERROR(QStringLiteral("PARAMETER ") + keyName +
                                    QStringLiteral(" konnte nicht in der Konfiguration gespeichert werden"));
    }
}

std::optional<QList<TBrenvikAnlagentyp>> GetAnlagentypen() {
    if (!BrvConnected())
        return std::nullopt;
    QList<TBrenvikAnlagentyp> list;
    BrvSql q(QStringLiteral("SELECT ID, BEZEICHNUNG FROM ANLAGENTYPEN ORDER BY ID"));
    while (q.next())
        list.append({q->asInt(0), q->asText(1)});
    return list;
}

std::optional<QList<TBrenvikStandortTypen>> GetStandortTypen() {
    if (!BrvConnected())
        return std::nullopt;
    QList<TBrenvikStandortTypen> list;
    BrvSql q(QStringLiteral("SELECT BRV_MANDANT_NR, STANDORTTYP_NR, INSERT_TS, UPDATE_TS, STANDORT_BEZEICHNUNG "
                            "FROM STANDORTTYPEN ORDER BY STANDORTTYP_NR"));
    while (q.next())
        list.append({q->asInt(0), q->asInt(1), q->asDateTime(2), q->asDateTime(3), q->asText(4)});
    return list;
}

namespace {
// Whether the seat that took a lock is gone. The monitoring tables show an ordinary database user only his own
// attachments, so the holder counts as gone only where this attachment could see it: same database user, or an
// administrator. A lock without an attachment (taken by an older release) is never judged here.
const char* const kHolderGone =
    "(m.LOCK_ATTACHMENT IS NOT NULL AND NOT EXISTS (SELECT 1 FROM MON$ATTACHMENTS a WHERE a.MON$ATTACHMENT_ID = "
    "m.LOCK_ATTACHMENT) AND (m.LOCK_DBUSER = CURRENT_USER OR CURRENT_USER = 'SYSDBA' OR CURRENT_ROLE = 'RDB$ADMIN' "
    "OR CURRENT_USER = (SELECT MON$OWNER FROM MON$DATABASE)))";

MandantLockInfo readLockInfo(int clientNr) {
    MandantLockInfo info;
    BrvSql q(QStringLiteral("SELECT m.BENUTZER_NR_LOCK, m.LOCK_ATTACHMENT, b.LOGIN, CASE WHEN m.LOCK_ATTACHMENT = "
                            "CURRENT_CONNECTION THEN 1 ELSE 0 END, CASE WHEN %1 THEN 1 ELSE 0 END FROM MANDANTEN m "
                            "LEFT JOIN BENUTZER b ON b.BRV_MANDANT_NR = m.BRV_MANDANT_NR AND b.BENUTZER_NR = "
                            "m.BENUTZER_NR_LOCK WHERE m.BRV_MANDANT_NR = 1 AND m.MANDANT_NR = ?")
                 .arg(QLatin1String(kHolderGone)),
             clientNr);
    if (q.next()) {
        info.exists = true;
        info.locked = !q->isNull(0);
        info.userNr = q->asInt(0);
        info.attachment = q->isNull(1) ? 0 : q->asBigInt(1);
        info.login = q->asText(2);
        info.heldHere = q->asInt(3) == 1;
        info.holderGone = q->asInt(4) == 1;
    }
    q->closeCursor();
    return info;
}

int mandantLockOnce(bool lock, int userNr, int clientNr, QString& holderLogin) {
    long changed = 0;
    if (clientNr <= 0)
        changed = BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = null, LOCK_ATTACHMENT = null, "
                                         "LOCK_DBUSER = null WHERE BRV_MANDANT_NR = 1 AND LOCK_ATTACHMENT = "
                                         "CURRENT_CONNECTION"));
    else if (lock)
        changed = BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = ?, LOCK_ATTACHMENT = "
                                         "CURRENT_CONNECTION, LOCK_DBUSER = CURRENT_USER WHERE BRV_MANDANT_NR = 1 AND "
                                         "MANDANT_NR = ? AND (BENUTZER_NR_LOCK IS NULL OR LOCK_ATTACHMENT = "
                                         "CURRENT_CONNECTION)"),
                          userNr, clientNr);
    else
        changed = BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = null, LOCK_ATTACHMENT = null, "
                                         "LOCK_DBUSER = null WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ? AND "
                                         "LOCK_ATTACHMENT = CURRENT_CONNECTION"),
                          clientNr);
    int result = kLockDone;
    if (changed < 1) {
        result = kLockNoHolder;
        if (clientNr > 0) {
            const MandantLockInfo info = readLockInfo(clientNr);
            if (info.locked) {
                holderLogin = info.login;
                result = kLockHeld;
                if (lock && info.holderGone) {
                    // The seat that held the client has gone without giving it back: take it over, but only
                    // from that very seat (another one may be taking it over at the same moment).
                    const long taken = BrvExec(
                        QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = ?, LOCK_ATTACHMENT = "
                                       "CURRENT_CONNECTION, LOCK_DBUSER = CURRENT_USER WHERE BRV_MANDANT_NR = 1 AND "
                                       "MANDANT_NR = ? AND LOCK_ATTACHMENT = ?"),
                        userNr, clientNr, info.attachment);
                    if (taken == 1) {
                        BrvLog(QStringLiteral("BRV000300"),
                               QStringLiteral("Die Sperre des Mandanten %1 wurde übernommen: die Sitzung %2 des "
                                              "Benutzers <%3> besteht nicht mehr.")
                                   .arg(clientNr)
                                   .arg(info.attachment)
                                   .arg(info.login));
                        result = kLockDone;
                    }
                }
            }
        }
    }
    BrvCommit();
    return result;
}
} // namespace

MandantLockInfo GetMandantLockInfo(int clientNr) {
    MandantLockInfo info = readLockInfo(clientNr);
    BrvCommit();
    return info;
}

bool MandantLockHeldHere(int clientNr) {
    if (clientNr <= 0 || !BrvConnected())
        return false;
    BrvSql q(QStringLiteral("SELECT 1 FROM MANDANTEN WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ? AND "
                            "LOCK_ATTACHMENT = CURRENT_CONNECTION"),
             clientNr);
    const bool held = q.next();
    q->closeCursor();
    return held;
}

void RequireMandantLock(int clientNr) {
    if (!MandantLockHeldHere(clientNr))
        throw EBrvException_DBERROR(kNotLockedHere);
}

int ReleaseAbandonedLocks(int userNr) {
    QList<int> clients;
    {
        BrvSql q(QStringLiteral("SELECT m.MANDANT_NR FROM MANDANTEN m WHERE m.BRV_MANDANT_NR = 1 AND "
                                "m.BENUTZER_NR_LOCK = ? AND (m.LOCK_ATTACHMENT IS NULL OR %1)")
                     .arg(QLatin1String(kHolderGone)),
                 userNr);
        while (q.next())
            clients.append(q->asInt(0));
    }
    BrvCommit();
    int freed = 0;
    for (int nr : clients) {
        MandantLockInfo info;
        if (UnlockAbandonedMandant(nr, info))
            ++freed;
    }
    return freed;
}

bool UnlockAbandonedMandant(int clientNr, MandantLockInfo& info) {
    info = readLockInfo(clientNr);
    // A lock of an older release names no seat: nobody can tell whether it is in use, so it is freed on request.
    if (!info.locked || (info.attachment != 0 && !info.holderGone)) {
        BrvCommit();
        return false;
    }
    const long n = info.attachment != 0
                       ? BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = null, LOCK_ATTACHMENT = "
                                                "null, LOCK_DBUSER = null WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = "
                                                "? AND LOCK_ATTACHMENT = ?"),
                                 clientNr, info.attachment)
                       : BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = null, LOCK_DBUSER = null "
                                                "WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ? AND LOCK_ATTACHMENT IS "
                                                "NULL AND BENUTZER_NR_LOCK = ?"),
                                 clientNr, info.userNr);
    BrvCommit();
    if (n == 1)
        BrvLog(QStringLiteral("BRV000301"),
               QStringLiteral("Die Sperre des Mandanten %1 (Benutzer <%2>) wurde aufgehoben.")
                   .arg(clientNr)
                   .arg(info.login));
    return n == 1;
}

int MandantLock(bool lock, int userNr, int clientNr, QString& holderLogin) {
    // A click in the client tree must not freeze the window: the lock statements wait at most one second for a row
    // another seat is changing (in a transaction of their own), then report the failure.
    struct ShortWait {
        const int before = fb::Transaction::lockTimeoutSeconds();
        ShortWait() {
            try {
                BrvCommit();
            } catch (...) {
            }
            fb::Transaction::setLockTimeoutSeconds(1);
        }
        ~ShortWait() { fb::Transaction::setLockTimeoutSeconds(before); }
    } shortWait;
    // A take that meets another seat's uncommitted take fails with an update conflict once that seat commits.
    // The row is then locked by the other seat, so one more try reports the holder instead of a database error.
    for (int attempt = 0;; ++attempt) {
        try {
            return mandantLockOnce(lock, userNr, clientNr, holderLogin);
        } catch (const fb::Error& e) {
            try {
                BrvRollback();
            } catch (...) {
            }
            if (!e.isUpdateConflict() || attempt >= 1)
                return kLockDbError;
        } catch (...) {
            try {
                BrvRollback();
            } catch (...) {
            }
            return kLockDbError;
        }
    }
}

std::optional<QList<TBrenvikBetriebsarten>> SearchBetriebsarten(const QString& searchText) {
    if (!BrvConnected())
        return std::nullopt;
    QList<TBrenvikBetriebsarten> list;
    const QString cols = QStringLiteral("SELECT BRV_MANDANT_NR, BETRIEBSART_NR, INSERT_TS, UPDATE_TS, BETRIEBSART_BEZ "
                                        "FROM BETRIEBSARTEN");
    auto read = [&list](BrvSql& q) {
        while (q.next())
            list.append({q->asInt(0), q->asText(1), q->asDateTime(2), q->asDateTime(3), q->asText(4)});
    };
    if (searchText.isEmpty()) {
        BrvSql q(cols + QStringLiteral(" ORDER BY BETRIEBSART_NR"));
        read(q);
    } else {
        // The text is matched as it stands: wildcard characters typed by the user are no wildcards.
        QString pattern = searchText.toLower();
        pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('%'), QLatin1String("\\%"))
            .replace(QLatin1Char('_'), QLatin1String("\\_"));
        BrvSql q(cols + QStringLiteral(" WHERE LOWER(BETRIEBSART_BEZ) LIKE ? ESCAPE '\\' ORDER BY BETRIEBSART_NR"),
                 QLatin1Char('%') + pattern + QLatin1Char('%'));
        read(q);
    }
    return list;
}

void GetBetriebsart(const QString& code, TBrenvikBetriebsarten& rec) {
    if (!BrvConnected() || code.isEmpty())
        return;
    BrvSql q(QStringLiteral("SELECT BRV_MANDANT_NR, BETRIEBSART_NR, INSERT_TS, UPDATE_TS, BETRIEBSART_BEZ FROM "
                            "BETRIEBSARTEN WHERE BETRIEBSART_NR = ?"),
             code);
    if (q.next()) {
        rec = {q->asInt(0), q->asText(1), q->asDateTime(2), q->asDateTime(3), q->asText(4)};
    } else {
        rec.betriebsart_nr.clear();
        rec.betriebsart_bez.clear();
    }
}

bool ExistsBetriebsart(const QString& code) {
    try {
        BrvSql q(QStringLiteral("SELECT BETRIEBSART_NR FROM BETRIEBSARTEN WHERE BETRIEBSART_NR = ?"), code);
        if (!q.next() || q->asText(0).isEmpty())
            throw EBrvCommonException(QStringLiteral("NO DATA"));
        return true;
    } catch (...) {
        return false;
    }
}

int GetMaxBenutzerNr() {
    BrvSql q(QStringLiteral("SELECT MAX(BENUTZER_NR) FROM BENUTZER"));
    return q.next() ? q->asInt(0) : 0;
}

void GetBenutzer(const QString& login, TBrenvikBenutzer& rec) {
    if (!BrvConnected())
        return;
    BrvSql q(QStringLiteral("SELECT BRV_MANDANT_NR, INSERT_TS, UPDATE_TS, BENUTZER_NR, LOGIN, VORNAME, NACHNAME, "
                            "ABTEILUNG, LETZTER_LOGIN FROM BENUTZER WHERE BRV_MANDANT_NR = 1 AND LOGIN = ?"),
             login);
    if (!q.next())
        throw EBrvException_NODATA(QStringLiteral("Keine Daten verfuegbar"));
    rec = {q->asInt(0),  q->asDateTime(1), q->asDateTime(2), q->asInt(3),     q->asText(4),
           q->asText(5), q->asText(6),     q->asText(7),     q->asDateTime(8)};
    q->closeCursor();
    BrvCommit();
}

bool RegisterBenutzerLogin(const QString& login) {
    // Two seats starting at once may both take the next user number, or both stamp the same login: the one that
    // comes second reads again and goes on, instead of failing the start.
    for (int attempt = 1;; ++attempt) {
        try {
            TBrenvikBenutzer user;
            const bool update = BrvRowExists([&] { GetBenutzer(login, user); });
            const TDateTime now = BrvNow();
            if (update)
                BrvExec(QStringLiteral("UPDATE BENUTZER SET BRV_MANDANT_NR = 1, LETZTER_LOGIN = ?, UPDATE_TS = ? WHERE "
                                       "BRV_MANDANT_NR = 1 AND LOGIN = ?"),
                        SqlTs{now}, SqlTs{now}, login);
            else
                BrvExec(QStringLiteral("INSERT INTO BENUTZER (BRV_MANDANT_NR, INSERT_TS, BENUTZER_NR, LOGIN, "
                                       "LETZTER_LOGIN) VALUES (1, ?, ?, ?, ?)"),
                        SqlTs{now}, GetMaxBenutzerNr() + 1, login, SqlTs{now});
            BrvCommit();
            TBrenvikBenutzer registered;
            GetBenutzer(login, registered);
            BrvCommit();
            SetBrvUserNr(registered.benutzer_nr);
            return true;
        } catch (const fb::Error& e) {
            BrvRollback();
            const bool collision = e.hasCode(isc_unique_key_violation) || e.isUpdateConflict();
            if (!collision || attempt >= 5)
                throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(40 * attempt));
        }
    }
}

namespace {
// Standard rate in percent valid on the day of d; 0 when the table has no row for it.
double regelsatzAm(TDateTime d) {
    BrvSql q(QStringLiteral("SELECT STEUERSATZ FROM STEUERSAETZE WHERE   STEUERSATZ_ART = 'REGELSATZ' AND   "
                            "CAST(? AS TIMESTAMP) BETWEEN GUELTIG_VON AND GUELTIG_BIS "),
             SqlTs{std::floor(d)});
    double rate = q.next() ? q->asDouble(0) : 0.0;
    q->closeCursor();
    BrvCommit();
    return rate;
}
} // namespace

double GetMwstFaktor(TDateTime acquisitionDate, TDateTime referenceDate) {
    if (acquisitionDate < EncodeDate(1968, 1, 1))
        return 1.0;
    try {
        const double rA = regelsatzAm(acquisitionDate);
        const double rR = regelsatzAm(referenceDate);
        if (rA <= 0 || rR <= 0)
            return 1.0;
        return (rR / 100 + 1) / (rA / 100 + 1);
    } catch (...) {
        return 1.0;
    }
}

double GetAktuellerMwstFaktor() {
    const double r = regelsatzAm(BrvNow());
    return r / 100 + 1;
}
