#include "db/mandanten.h"

#include <optional>

#include "db/brenvik_config.h"
#include "db/dbaccess.h"

namespace {

const QString kNoData = QStringLiteral("Keine Daten verfuegbar");
const QString kNothingDeleted = QStringLiteral("Es wurden keine Datensaetze zur Loeschung gefunden.");

const QString kMandantCols = QStringLiteral(
    "BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, UPDATE_TS, BENUTZER_NR_LOCK, FIRMA, NAME1, NAME2, MANDANT_NR_PARENT, "
    "MANDANT_SB, MANDANT_SB_DATUM, SICHERUNGSPFAD, ENDWERTGRENZE, BETRIEBSART_NR, MWST_PFLICHT");

const QString kAdresseCols = QStringLiteral(
    "BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR, INSERT_TS, UPDATE_TS, ADRESSBEZEICHNUNG, STRASSE, HAUSNUMMER, ZUSATZ, "
    "PLZ, ORT, LAND, POSTFACH, POSTFACH_PLZ, TELEFON1, TELEFON2, FAX, MOBIL, EMAIL1, EMAIL2, URL, ANSPRECHPARTNER, "
    "STANDORTTYP_NR, ZUSATZINFORMATION");

const QString kKennzahlenCols = QStringLiteral(
    "BRV_MANDANT_NR, MANDANT_NR, BILANZJAHR, INSERT_TS, UPDATE_TS, FERTIGE_ERZ_BILANZ, UNFERTIGE_ERZ_BILANZ, "
    "LAGER_BSTOFFE_BILANZ, FERTIGE_ERZ_MAX, UNFERTIGE_ERZ_MAX, LAGER_BSTOFFE_MAX, VORSORGESUMME, ENDWERTGRENZE");

TBrenvikAdresse readAdresse(fb::Statement& s) {
    TBrenvikAdresse a;
    a.brv_mandant_nr = s.asInt(0);
    a.mandant_nr = s.asInt(1);
    a.adress_nr = s.asInt(2);
    a.insert_ts = s.asDateTime(3);
    a.update_ts = s.asDateTime(4);
    QString* texts[] = {
        &a.adressbezeichnung, &a.strasse,  &a.hausnummer, &a.zusatz, &a.plz,   &a.ort,    &a.land,   &a.postfach,
        &a.postfach_plz,      &a.telefon1, &a.telefon2,   &a.fax,    &a.mobil, &a.email1, &a.email2, &a.url,
        &a.ansprechpartner};
    int col = 5;
    for (QString* t : texts)
        *t = s.asText(col++);
    a.standorttyp_nr = static_cast<qint16>(s.asInt(22));
    a.zusatzinformation = s.asText(23);
    return a;
}

// Fills the year and the values; the two key fields are the caller's.
void readKennzahlen(fb::Statement& s, TBrenvikKennzahlenHist& k) {
    k.bilanzjahr = static_cast<qint16>(s.asInt(2));
    k.insert_ts = s.asDateTime(3);
    k.update_ts = s.asDateTime(4);
    double* values[] = {&k.fertige_erz_bilanz, &k.unfertige_erz_bilanz, &k.lager_bstoffe_bilanz, &k.fertige_erz_max,
                        &k.unfertige_erz_max,  &k.lager_bstoffe_max,    &k.vorsorgesumme,        &k.endwertgrenze};
    int col = 5;
    for (double* v : values)
        *v = s.asDouble(col++);
}

// A statement whose single value is wanted; commits.
int scalarInt(const QString& sql, int arg) {
    BrvSql q(sql, arg);
    const int v = q.next() ? q->asInt(0) : 0;
    q->closeCursor();
    BrvCommit();
    return v;
}

// Runs a DELETE, commits, and reports a delete that found nothing.
void deleteRows(const QString& sql, int a, int b) {
    const long n = BrvExec(sql, a, b);
    BrvCommit();
    if (n == 0)
        throw EBrvException_NODATA(kNothingDeleted);
}

} // namespace

QList<TBrenvikMandant> GetMandantenTreeList() {
    QList<TBrenvikMandant> list;
    BrvSql q(QStringLiteral("SELECT MANDANT_NR, FIRMA FROM MANDANTEN ORDER BY FIRMA"));
    while (q.next()) {
        TBrenvikMandant m;
        m.mandant_nr = q->asInt(0);
        m.firma = q->asText(1);
        list.append(m);
    }
    return list;
}

void GetMandant(int mandantNr, TBrenvikMandant& rec) {
    if (!BrvConnected())
        return;
    const QString sql =
        QStringLiteral("SELECT FIRST 1 ") + kMandantCols + QStringLiteral(" FROM MANDANTEN") +
        (mandantNr != 0 ? QStringLiteral(" WHERE MANDANT_NR = ?") : QStringLiteral(" ORDER BY MANDANT_NR"));
    BrvSql q = mandantNr != 0 ? BrvSql(sql, mandantNr) : BrvSql(sql);
    if (!q.next())
        throw EBrvException_NODATA(QStringLiteral("No data found"));
    fb::Statement& s = q.st();
    rec.brv_mandant_nr = s.asInt(0);
    rec.mandant_nr = s.asInt(1);
    rec.insert_ts = s.asDateTime(2);
    rec.update_ts = s.asDateTime(3);
    rec.benutzer_nr_lock = s.asInt(4);
    rec.firma = s.asText(5);
    rec.name1 = s.asText(6);
    rec.name2 = s.asText(7);
    rec.mandant_nr_parent = s.asInt(8);
    rec.mandant_sb = s.asDouble(9);
    rec.mandant_sb_datum = s.asDateTime(10);
    rec.sicherungspfad = s.asText(11);
    rec.endwertgrenze = s.asDouble(12);
    rec.betriebsart_nr = s.asText(13);
    rec.mwst_pflicht = s.asText(14);
    s.closeCursor();
}

int GetMaxMandantNr() {
    BrvSql q(QStringLiteral("SELECT MAX(MANDANT_NR) FROM MANDANTEN"));
    const int v = q.next() ? q->asInt(0) : 0;
    q->closeCursor();
    return v;
}

int SaveMandant(TBrenvikMandant r, bool isNew) {
    bool update = false;
    try {
        if (r.mandant_nr == 0) {
            r.mandant_nr = GetMaxMandantNr() + 1;
        } else if (!isNew) {
            try {
                TBrenvikMandant current;
                GetMandant(r.mandant_nr, current);
                update = true;
            } catch (const EBrvException_NODATA&) {
            }
        }
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(e.message());
    }
    if (update)
        RequireMandantLock(r.mandant_nr);
    try {
        BrvUnitOfWork work;
        const TDateTime now = BrvNow();
        if (update) {
            // BENUTZER_NR_LOCK is not written: a save keeps the lock of whoever holds the client.
            BrvExec(QStringLiteral("UPDATE MANDANTEN SET BRV_MANDANT_NR = 1, UPDATE_TS = ?, FIRMA = ?, NAME1 = ?, "
                                   "NAME2 = ?, MANDANT_NR_PARENT = ?, MANDANT_SB = ?, MANDANT_SB_DATUM = ?, "
                                   "SICHERUNGSPFAD = ?, ENDWERTGRENZE = 0, BETRIEBSART_NR = ?, MWST_PFLICHT = ? "
                                   "WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ?"),
                    SqlTs{now}, r.firma, r.name1, r.name2, r.mandant_nr_parent, r.mandant_sb, SqlTs{r.mandant_sb_datum},
                    r.sicherungspfad, r.betriebsart_nr, r.mwst_pflicht, r.mandant_nr);
        } else {
            BrvExec(QStringLiteral("INSERT INTO MANDANTEN (BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, FIRMA, NAME1, "
                                   "NAME2, MANDANT_NR_PARENT, MANDANT_SB, MANDANT_SB_DATUM, SICHERUNGSPFAD, "
                                   "ENDWERTGRENZE, BETRIEBSART_NR, MWST_PFLICHT) "
                                   "VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?)"),
                    r.mandant_nr, SqlTs{now}, r.firma, r.name1, r.name2, r.mandant_nr_parent, r.mandant_sb,
                    SqlTs{r.mandant_sb_datum}, r.sicherungspfad, r.betriebsart_nr, r.mwst_pflicht);
            // A new client is its creator's from the first moment: addresses and key figures can follow at once,
            // and no other seat can take it before the creator has finished.
            if (BrvUserNr() > 0)
                BrvExec(
                    QStringLiteral("UPDATE MANDANTEN SET BENUTZER_NR_LOCK = ?, LOCK_ATTACHMENT = CURRENT_CONNECTION, "
                                   "LOCK_DBUSER = CURRENT_USER WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ?"),
                    BrvUserNr(), r.mandant_nr);
        }
        work.commit();
        return r.mandant_nr;
    } catch (...) {
        return 0;
    }
}

void DeleteMandant(int mandantNr) {
    RequireMandantLock(mandantNr);
    // Every row of the client in every table, in one unit of work: the next client gets the same number (highest
    // + 1) and must not inherit anything. Building objects belong to the client by their owner (the client number as
    // text), their buildings, line items and attachment rows by the object. The attachment files stay on disk.
    const QString owner = QString::number(mandantNr);
    static const char* const ofBuildings =
        "(SELECT B.PID FROM TABGEBBUILDINGA B JOIN TABGEBOBJEKT O ON O.PID = B.GEBOBJ_ID WHERE O.OWNER_ID = ?)";
    const QString byBuilding[][2] = {{QStringLiteral("TABGEBDIM"), QStringLiteral("DIMGEB_FK")},
                                     {QStringLiteral("TABGEBPRODUKT"), QStringLiteral("GEBBUILDING_ID")},
                                     {QStringLiteral("TABGEBAUFZUGBESTAND"), QStringLiteral("OWNERID")}};
    static const char* const byClient[] = {
        "DATENIMPORTE",       "DATENUEBERNAHME_VORHER", "DATENUEBERNAHMEN", "KENNZAHLEN_STANDORT",
        "VERSICHERUNGSWERTE", "KENNZAHLEN_HIST",        "ADRESSEN",         "MANDANTEN"};
    // A table the schema check has not created yet holds nothing of the client.
    const auto run = [](const QString& sql, const QString& key, std::optional<int> nr) {
        try {
            if (nr)
                BrvExec(sql, *nr);
            else
                BrvExec(sql, key);
        } catch (const fb::Error& e) {
            if (e.sqlcode() != -204)
                throw;
        }
    };
    try {
        BrvUnitOfWork work;
        for (const auto& t : byBuilding)
            run(QStringLiteral("DELETE FROM %1 WHERE %2 IN %3").arg(t[0], t[1], QLatin1String(ofBuildings)), owner, {});
        run(QStringLiteral("DELETE FROM TABGEBBUILDINGA WHERE GEBOBJ_ID IN (SELECT PID FROM TABGEBOBJEKT WHERE "
                           "OWNER_ID = ?)"),
            owner, {});
        run(QStringLiteral(
                "DELETE FROM TABGEBFILE WHERE OWNER_ID IN (SELECT PID FROM TABGEBOBJEKT WHERE OWNER_ID = ?)"),
            owner, {});
        run(QStringLiteral("DELETE FROM TABGEBOBJEKT WHERE OWNER_ID = ?"), owner, {});
        for (const char* t : byClient)
            run(QStringLiteral("DELETE FROM %1 WHERE MANDANT_NR = ?").arg(QLatin1String(t)), {}, mandantNr);
        work.commit();
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(QStringLiteral("Fehler beim Löschen des Mandanten\r\nSystemmeldung: ") +
                                    e.message());
    }
}

std::optional<QList<TBrenvikAdresse>> GetAdressen(int mandantNr) {
    if (!BrvConnected())
        return std::nullopt;
    QList<TBrenvikAdresse> list;
    const QString sql = QStringLiteral("SELECT ") + kAdresseCols + QStringLiteral(" FROM ADRESSEN");
    const QString order = QStringLiteral(" ORDER BY MANDANT_NR, ADRESS_NR");
    BrvSql q =
        mandantNr != 0 ? BrvSql(sql + QStringLiteral(" WHERE MANDANT_NR = ?") + order, mandantNr) : BrvSql(sql + order);
    while (q.next())
        list.append(readAdresse(q.st()));
    return list;
}

void GetAdresse(int mandantNr, int adressNr, TBrenvikAdresse& rec) {
    if (!BrvConnected())
        return;
    BrvSql q(QStringLiteral("SELECT ") + kAdresseCols +
                 QStringLiteral(" FROM ADRESSEN WHERE MANDANT_NR = ? AND ADRESS_NR = ?"),
             mandantNr, adressNr);
    if (!q.next())
        throw EBrvException_NODATA(kNoData);
    rec = readAdresse(q.st());
    q->closeCursor();
}

void SaveAdresse(TBrenvikAdresse r) {
    RequireMandantLock(r.mandant_nr);
    TBrenvikAdresse current;
    const bool update = BrvRowExists([&] { GetAdresse(r.mandant_nr, r.adress_nr, current); });
    const TDateTime now = BrvNow();
    const QString texts =
        QStringLiteral("ADRESSBEZEICHNUNG, STRASSE, HAUSNUMMER, ZUSATZ, PLZ, ORT, LAND, POSTFACH, POSTFACH_PLZ, "
                       "TELEFON1, TELEFON2, FAX, MOBIL, EMAIL1, EMAIL2, URL, ANSPRECHPARTNER");
    if (update) {
        QString set;
        for (const QString& c : texts.split(QStringLiteral(", ")))
            set += c + QStringLiteral(" = ?, ");
        BrvExec(QStringLiteral("UPDATE ADRESSEN SET BRV_MANDANT_NR = 1, UPDATE_TS = ?, ") + set +
                    QStringLiteral("STANDORTTYP_NR = ?, ZUSATZINFORMATION = ? "
                                   "WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ? AND ADRESS_NR = ?"),
                SqlTs{now}, r.adressbezeichnung, r.strasse, r.hausnummer, r.zusatz, r.plz, r.ort, r.land, r.postfach,
                r.postfach_plz, r.telefon1, r.telefon2, r.fax, r.mobil, r.email1, r.email2, r.url, r.ansprechpartner,
                r.standorttyp_nr, r.zusatzinformation, r.mandant_nr, r.adress_nr);
    } else {
        BrvExec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR, INSERT_TS, ") + texts +
                    QStringLiteral(", STANDORTTYP_NR, ZUSATZINFORMATION) VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                   "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                r.mandant_nr, r.adress_nr, SqlTs{now}, r.adressbezeichnung, r.strasse, r.hausnummer, r.zusatz, r.plz,
                r.ort, r.land, r.postfach, r.postfach_plz, r.telefon1, r.telefon2, r.fax, r.mobil, r.email1, r.email2,
                r.url, r.ansprechpartner, r.standorttyp_nr, r.zusatzinformation);
    }
    // The dialog reports the address as saved, so it must survive a crash right after.
    BrvCommit();
}

void DeleteAdresse(int mandantNr, int adressNr) {
    RequireMandantLock(mandantNr);
    deleteRows(QStringLiteral("DELETE FROM ADRESSEN WHERE MANDANT_NR = ? AND ADRESS_NR = ?"), mandantNr, adressNr);
}

int GetNextAdressNr(int mandantNr) {
    const int v = scalarInt(QStringLiteral("SELECT MAX(ADRESS_NR) FROM ADRESSEN WHERE MANDANT_NR = ?"), mandantNr);
    return v > 0 ? v + 1 : 1;
}

std::optional<QList<TBrenvikKennzahlenHist>> GetKennzahlenHistList(int mandantNr) {
    if (!BrvConnected())
        return std::nullopt;
    QList<TBrenvikKennzahlenHist> list;
    const QString sql = QStringLiteral("SELECT ") + kKennzahlenCols + QStringLiteral(" FROM KENNZAHLEN_HIST");
    const QString order = QStringLiteral(" ORDER BY MANDANT_NR, BILANZJAHR");
    BrvSql q =
        mandantNr != 0 ? BrvSql(sql + QStringLiteral(" WHERE MANDANT_NR = ?") + order, mandantNr) : BrvSql(sql + order);
    while (q.next()) {
        TBrenvikKennzahlenHist k;
        k.brv_mandant_nr = q->asInt(0);
        k.mandant_nr = q->asInt(1);
        readKennzahlen(q.st(), k);
        list.append(k);
    }
    return list;
}

void GetKennzahlenHist(int mandantNr, int bilanzjahr, TBrenvikKennzahlenHist& rec) {
    if (!BrvConnected())
        return;
    BrvSql q(QStringLiteral("SELECT ") + kKennzahlenCols +
                 QStringLiteral(" FROM KENNZAHLEN_HIST WHERE MANDANT_NR = ? AND BILANZJAHR = ?"),
             mandantNr, bilanzjahr);
    if (!q.next())
        throw EBrvException_NODATA(kNoData);
    readKennzahlen(q.st(), rec);
    q->closeCursor();
}

void SaveKennzahlenHist(TBrenvikKennzahlenHist r) {
    RequireMandantLock(r.mandant_nr);
    TBrenvikKennzahlenHist current;
    const bool update = BrvRowExists([&] { GetKennzahlenHist(r.mandant_nr, r.bilanzjahr, current); });
    const TDateTime now = BrvNow();
    if (update)
        BrvExec(QStringLiteral("UPDATE KENNZAHLEN_HIST SET BRV_MANDANT_NR = 1, UPDATE_TS = ?, FERTIGE_ERZ_BILANZ = ?, "
                               "UNFERTIGE_ERZ_BILANZ = ?, LAGER_BSTOFFE_BILANZ = ?, FERTIGE_ERZ_MAX = ?, "
                               "UNFERTIGE_ERZ_MAX = ?, LAGER_BSTOFFE_MAX = ?, VORSORGESUMME = ?, ENDWERTGRENZE = ? "
                               "WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ? AND BILANZJAHR = ?"),
                SqlTs{now}, r.fertige_erz_bilanz, r.unfertige_erz_bilanz, r.lager_bstoffe_bilanz, r.fertige_erz_max,
                r.unfertige_erz_max, r.lager_bstoffe_max, r.vorsorgesumme, r.endwertgrenze, r.mandant_nr,
                static_cast<int>(r.bilanzjahr));
    else
        BrvExec(QStringLiteral("INSERT INTO KENNZAHLEN_HIST (") + kKennzahlenCols +
                    QStringLiteral(") VALUES (1, ?, ?, ?, NULL, ?, ?, ?, ?, ?, ?, ?, ?)"),
                r.mandant_nr, static_cast<int>(r.bilanzjahr), SqlTs{now}, r.fertige_erz_bilanz, r.unfertige_erz_bilanz,
                r.lager_bstoffe_bilanz, r.fertige_erz_max, r.unfertige_erz_max, r.lager_bstoffe_max, r.vorsorgesumme,
                r.endwertgrenze);
    BrvCommit();
}

void DeleteKennzahlenHist(int mandantNr, int bilanzjahr) {
    RequireMandantLock(mandantNr);
    deleteRows(QStringLiteral("DELETE FROM KENNZAHLEN_HIST WHERE MANDANT_NR = ? AND BILANZJAHR = ?"), mandantNr,
               bilanzjahr);
}

int GetMaxBilanzjahr(int mandantNr) {
    return scalarInt(QStringLiteral("SELECT MAX(BILANZJAHR) FROM KENNZAHLEN_HIST WHERE MANDANT_NR = ?"), mandantNr);
}

void GetKennzahlenStandort(int mandantNr, int adressNr, TBrenvikKennzahlenStandort& rec) {
    if (!BrvConnected())
        return;
    BrvSql q(QStringLiteral("SELECT INSERT_TS, UPDATE_TS, VORRAETE, VORSORGESUMME FROM KENNZAHLEN_STANDORT "
                            "WHERE MANDANT_NR = ? AND ADRESS_NR = ?"),
             mandantNr, adressNr);
    if (!q.next())
        throw EBrvException_NODATA(kNoData);
    rec.insert_ts = q->asDateTime(0);
    rec.update_ts = q->asDateTime(1);
    rec.vorraete = q->asDouble(2);
    rec.vorsorgesumme = q->asDouble(3);
    q->closeCursor();
}

void SaveKennzahlenStandort(TBrenvikKennzahlenStandort r) {
    RequireMandantLock(r.mandant_nr);
    TBrenvikKennzahlenStandort current;
    const bool update = BrvRowExists([&] { GetKennzahlenStandort(r.mandant_nr, r.adress_nr, current); });
    try {
        const TDateTime now = BrvNow();
        if (update)
            BrvExec(QStringLiteral("UPDATE KENNZAHLEN_STANDORT SET UPDATE_TS = ?, VORSORGESUMME = ?, VORRAETE = ? "
                                   "WHERE BRV_MANDANT_NR = 1 AND MANDANT_NR = ? AND ADRESS_NR = ?"),
                    SqlTs{now}, r.vorsorgesumme, r.vorraete, r.mandant_nr, r.adress_nr);
        else
            BrvExec(QStringLiteral("INSERT INTO KENNZAHLEN_STANDORT (BRV_MANDANT_NR, MANDANT_NR, INSERT_TS, "
                                   "ADRESS_NR, VORSORGESUMME, VORRAETE) VALUES (1, ?, ?, ?, ?, ?)"),
                    r.mandant_nr, SqlTs{now}, r.adress_nr, r.vorsorgesumme, r.vorraete);
        BrvCommit();
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(QStringLiteral("Fehler beim Speichern der Werte für den Standort.\r\n") +
                                    e.message());
    }
}
