#include "db/brenvik_config.h"

#include <chrono>
#include <thread>

#include "db/convert.h"
#include "db/dbaccess.h"

#include <QThread>

#include <cmath>

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
int mandantLockOnce(bool lock, int userNr, int clientNr, QString& holderLogin) {
    long changed = 0;
    if (clientNr <= 0)
        changed = BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = null WHERE BRV_MANDANT_NR = 1  "
                                         "AND BENUTZER_NR_LOCK = ?"),
                          userNr);
    else if (lock)
        changed = BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = ? WHERE BRV_MANDANT_NR = 1 AND "
                                         "MANDANT_NR = ? AND BENUTZER_NR_LOCK IS NULL"),
                          userNr, clientNr);
    else
        changed = BrvExec(QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = null WHERE BRV_MANDANT_NR = 1 AND "
                                         "MANDANT_NR = ? AND BENUTZER_NR_LOCK = ?"),
                          clientNr, userNr);
    int result = kLockDone;
    if (changed < 1) {
        result = kLockNoHolder;
        BrvSql q(QStringLiteral("SELECT b.LOGIN FROM MANDANTEN m, BENUTZER b WHERE  m.BRV_MANDANT_NR = 1 AND "
                                "m.MANDANT_NR = ? AND m.BENUTZER_NR_LOCK IS NOT NULL  AND m.BRV_MANDANT_NR = "
                                "b.BRV_MANDANT_NR  AND m.BENUTZER_NR_LOCK = b.BENUTZER_NR"),
                 clientNr);
        if (q.next()) {
            holderLogin = q->asText(0);
            result = kLockHeld;
        }
    }
    BrvCommit();
    return result;
}
} // namespace

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
