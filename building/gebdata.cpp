#include "building/gebdata.h"

#include "core/convert.h"
#include "db/brenvik_config.h"
#include "db/dbaccess.h"

#include <QDate>

#include <algorithm>
#include <cmath>
#include <functional>
#include <variant>

namespace {

// One column of a written row.
struct Col {
    const char* name;
    std::variant<QString, double, int, SqlBlob, SqlNull> value;
};

void bindCols(fb::Statement& s, const QList<Col>& cols, int first = 0) {
    int i = first;
    for (const Col& c : cols) {
        std::visit([&](const auto& v) { bindOne(s, i, v); }, c.value);
        ++i;
    }
}

void insertRow(const char* table, const QList<Col>& cols) {
    QStringList names, marks;
    for (const Col& c : cols) {
        names << QString::fromLatin1(c.name);
        marks << QStringLiteral("?");
    }
    fb::Query q(BrvRequireDb(),
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(QLatin1String(table), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    bindCols(*q, cols);
    q->execute(BrvActiveTrans());
}

void updateRow(const char* table, const QList<Col>& cols, const QString& pid) {
    QStringList sets;
    for (const Col& c : cols)
        sets << QString::fromLatin1(c.name) + QStringLiteral(" = ?");
    fb::Query q(
        BrvRequireDb(),
        QStringLiteral("UPDATE %1 SET %2 WHERE PID = ?").arg(QLatin1String(table), sets.join(QStringLiteral(", "))));
    bindCols(*q, cols);
    bindOne(*q, int(cols.size()), pid);
    q->execute(BrvActiveTrans());
}

// Reads a list; a failing read is reported instead of looking like an empty list.
template <typename T>
QList<T> readList(const QString& sql, const QString& key, const std::function<T(fb::Statement&)>& row) {
    try {
        QList<T> out;
        BrvSql q(sql, key);
        while (q.next())
            out.append(row(q.st()));
        return out;
    } catch (const EBrvException_DBERROR&) {
        throw;
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(e.message());
    }
}

int wholeYears(double v) {
    return int(std::nearbyint(v));
}
QString todayText() {
    return QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
}

const char* const kObjektColumns =
    "PID, Owner_ID, VersNehmer, Auftraggeber, Caption, Strasse, Ort, Grundbuch, Gemarkung, Flur, CreateDate, "
    "AUFSTRASSE, AUFORT, ERSTELLERVOR, ERSTELLERNACH, USTPFLICHT, INDVSTVAL";

TGebObjekt objektFrom(fb::Statement& s, const QString& pid, const QString& ownerId) {
    TGebObjekt o(pid, ownerId);
    o.PID = s.asText("PID");
    o.OwnerID = s.asText("OWNER_ID");
    o.VersNehmer = s.asText("VERSNEHMER");
    o.Ersteller = s.asText("AUFTRAGGEBER");
    o.Caption = s.asText("CAPTION");
    o.Strasse = s.asText("STRASSE");
    o.Ort = s.asText("ORT");
    o.Grundbuch = s.asText("GRUNDBUCH");
    o.Gemarkung = s.asText("GEMARKUNG");
    o.Flur = s.asText("FLUR");
    o.CreateDate = s.asText("CREATEDATE");
    o.ErstellerStr = s.asText("AUFSTRASSE");
    o.ErstellerOrt = s.asText("AUFORT");
    o.ErstellerVor = s.asText("ERSTELLERVOR");
    o.ErstellerNach = s.asText("ERSTELLERNACH");
    o.UstPflicht = s.asText("USTPFLICHT") == QLatin1String("1");
    o.IndVstVal = s.asDouble("INDVSTVAL");
    return o;
}

// The columns an update writes, in the table's order; the insert adds the key, owner, position and date.
QList<Col> buildingColumns(const TGebBuilding& b) {
    return {{"Caption", b.Caption},
            {"Zusatz", b.Zusatz},
            {"Baujahr", b.Baujahr()},
            {"Dachart", b.Dachart},
            {"Zustand", b.Zustand},
            {"Art", b.Art},
            {"Lebensdauer", wholeYears(b.Lebensdauer)},
            {"GebAlter", wholeYears(b.Alter)},
            {"Ausf", b.Ausf},
            {"Ausf_Grund", b.Grund},
            {"Aufmassquelle", b.Aufmassquelle},
            {"Richtpreis", b.Richtpreis},
            {"Produkt", b.Produkt},
            {"ProduktIdx", b.ProduktIdx},
            {"Kosten", b.Kosten},
            {"KostenIdx", b.KostenIdx},
            {"Aufzugskosten", b.Aufzugskosten},
            {"AufzugskostenIdx", b.AufzugskostenIdx},
            {"VersWert", b.VersWert},
            {"Wertminderung", b.Wertminderung},
            {"Zeitwert", b.Zeitwert},
            {"Versart", b.Versart},
            {"Anmerkung", SqlBlob{b.Anmerkung}},
            {"UMRECHNUNGSART", b.Umrechnungsart},
            {"SUMMENK", b.SummeNK},
            {"SUMMEBAU", b.SummeBau},
            {"SUMMEBAUROUND", b.SummeBauRound},
            {"WM1", b.WM1},
            {"WM2", b.WM2},
            {"WM3", b.WM3},
            {"WM4", b.WM4},
            {"WMSELECTED", b.WMSelected},
            {"CAPTIONCUR", b.CaptionCUR},
            {"ZEITWERTPERCENT", b.ZeitwertPercent},
            {"RNDPRODUKT", b.RNDProdukt},
            {"RNDPRODUKTIDX", b.RNDProduktIDX},
            {"RNDKOSTEN", b.RNDKosten},
            {"RNDKOSTENIDX", b.RNDKostenIDX},
            {"RNDAUFZUG", b.RNDAufzug},
            {"RNDAUFZUGIDX", b.RNDAufzugIDX},
            {"RNDZEITWERT", b.RNDZeitwert},
            {"CURRICHTPREIS", b.CurRichtpreis},
            {"CURPRODUKT", b.CurProdukt},
            {"CURPRODUKTIDX", b.CurProduktIdx},
            {"CURKOSTENIDX", b.CurKostenIdx},
            {"CURAUFZUGIDX", b.CurAufzugIdx},
            {"CURBAUPREISE", b.CurBaupreise},
            {"VERSARTSTR", b.VersArtStr},
            {"RNDKOSTENIDXSUM", b.RNDKostenIDXSum},
            {"RNDPRODUKTIDXSUM", b.RNDProduktIDXSum},
            {"RNDAUFZUGIDXSUM", b.RNDAufzugIDXSum},
            {"VERSSTEUER", b.VERSSTEUER},
            {"RNDWIEDERKOST", b.RNDWiederKost},
            {"DIMCAPTION", b.DimCaption},
            {"UMRECHNUNGSARTSONST", b.UmrechnungsartSonst},
            {"BERECHNUNGSARTDIM", b.BerechnungsartDim},
            {"WIEDERBPREISORG", b.WiederBPreisOrg}};
}

TGebBuilding buildingFrom(fb::Statement& s, const QString& objektPid) {
    TGebBuilding b(objektPid);
    b.PID = s.asText("PID");
    b.GebObj_ID = s.asText("GEBOBJ_ID");
    b.Caption = s.asText("CAPTION");
    b.Zusatz = s.asText("ZUSATZ");
    try {
        b.setBaujahr(s.asText("BAUJAHR"));
    } catch (const EBrvTypeConversionError&) {
        // The stored age below counts, whatever the year says.
    }
    b.Dachart = s.asText("DACHART");
    b.Zustand = s.asText("ZUSTAND");
    b.Art = s.asText("ART");
    b.Lebensdauer = s.asInt("LEBENSDAUER");
    b.Alter = s.asInt("GEBALTER");
    b.Ausf = s.asText("AUSF");
    b.Grund = s.asText("AUSF_GRUND");
    b.Aufmassquelle = s.asText("AUFMASSQUELLE");
    b.Richtpreis = s.asDouble("RICHTPREIS");
    b.Produkt = s.asDouble("PRODUKT");
    b.ProduktIdx = s.asDouble("PRODUKTIDX");
    b.Kosten = s.asDouble("KOSTEN");
    b.KostenIdx = s.asDouble("KOSTENIDX");
    b.Aufzugskosten = s.asDouble("AUFZUGSKOSTEN");
    b.AufzugskostenIdx = s.asDouble("AUFZUGSKOSTENIDX");
    b.VersWert = s.asDouble("VERSWERT");
    b.Wertminderung = s.asDouble("WERTMINDERUNG");
    b.Zeitwert = s.asDouble("ZEITWERT");
    b.CreateDate = s.asText("CREATEDATE");
    b.Versart = s.asText("VERSART");
    b.Anmerkung = s.asText("ANMERKUNG");
    b.Umrechnungsart = s.asText("UMRECHNUNGSART");
    b.SummeNK = s.asText("SUMMENK");
    b.SummeBau = s.asText("SUMMEBAU");
    b.SummeBauRound = s.asText("SUMMEBAUROUND");
    b.WM1 = s.asText("WM1");
    b.WM2 = s.asText("WM2");
    b.WM3 = s.asText("WM3");
    b.WM4 = s.asText("WM4");
    b.WMSelected = s.asText("WMSELECTED");
    b.CaptionCUR = s.asText("CAPTIONCUR");
    b.ZeitwertPercent = s.asText("ZEITWERTPERCENT");
    b.RNDProdukt = s.asText("RNDPRODUKT");
    b.RNDProduktIDX = s.asText("RNDPRODUKTIDX");
    b.RNDKosten = s.asText("RNDKOSTEN");
    b.RNDKostenIDX = s.asText("RNDKOSTENIDX");
    b.RNDAufzug = s.asText("RNDAUFZUG");
    b.RNDAufzugIDX = s.asText("RNDAUFZUGIDX");
    b.RNDZeitwert = s.asText("RNDZEITWERT");
    b.CurRichtpreis = s.asText("CURRICHTPREIS");
    b.CurProdukt = s.asText("CURPRODUKT");
    b.CurProduktIdx = s.asText("CURPRODUKTIDX");
    b.CurKostenIdx = s.asText("CURKOSTENIDX");
    b.CurAufzugIdx = s.asText("CURAUFZUGIDX");
    b.CurBaupreise = s.asText("CURBAUPREISE");
    b.VersArtStr = s.asText("VERSARTSTR");
    b.RNDKostenIDXSum = s.asText("RNDKOSTENIDXSUM");
    b.RNDProduktIDXSum = s.asText("RNDPRODUKTIDXSUM");
    b.RNDAufzugIDXSum = s.asText("RNDAUFZUGIDXSUM");
    b.VERSSTEUER = s.asDouble("VERSSTEUER");
    b.RNDWiederKost = s.asText("RNDWIEDERKOST");
    b.DimCaption = s.asText("DIMCAPTION");
    b.UmrechnungsartSonst = s.asText("UMRECHNUNGSARTSONST");
    b.BerechnungsartDim = s.asText("BERECHNUNGSARTDIM");
    b.WiederBPreisOrg = s.asDouble("WIEDERBPREISORG");
    return b;
}

// Rows of a building object belong to the client that owns the object (its number as text): writing them needs
// that client's lock on this seat. "from" leads from the written row (its key named by "key") to the object O; an
// object of no client needs no lock.
void requireOwnerLock(const char* from, const char* key, const QString& value) {
    BrvSql q(QStringLiteral("SELECT FIRST 1 M.MANDANT_NR FROM %1 JOIN MANDANTEN M ON CAST(M.MANDANT_NR AS "
                            "VARCHAR(11)) = O.OWNER_ID WHERE %2 = ? AND M.LOCK_ATTACHMENT IS DISTINCT FROM "
                            "CURRENT_CONNECTION")
                 .arg(QLatin1String(from), QLatin1String(key)),
             value);
    const bool foreign = q.next();
    q->closeCursor();
    if (foreign)
        throw EBrvException_DBERROR(kNotLockedHere);
}
const char* const kFromObject = "TABGEBOBJEKT O";
const char* const kFromBuilding = "TABGEBBUILDINGA B JOIN TABGEBOBJEKT O ON O.PID = B.GEBOBJ_ID";
const char* const kFromDimension =
    "TABGEBDIM L JOIN TABGEBBUILDINGA B ON B.PID = L.DIMGEB_FK JOIN TABGEBOBJEKT O ON O.PID = B.GEBOBJ_ID";
const char* const kFromMeasure =
    "TABGEBPRODUKT L JOIN TABGEBBUILDINGA B ON B.PID = L.GEBBUILDING_ID JOIN TABGEBOBJEKT O ON O.PID = B.GEBOBJ_ID";
const char* const kFromElevator =
    "TABGEBAUFZUGBESTAND L JOIN TABGEBBUILDINGA B ON B.PID = L.OWNERID JOIN TABGEBOBJEKT O ON O.PID = B.GEBOBJ_ID";
const char* const kFromFile = "TABGEBFILE F JOIN TABGEBOBJEKT O ON O.PID = F.OWNER_ID";

const char* const kBuildingSelect = "SELECT * FROM TABGEBBUILDINGA WHERE ";

void deleteBuildingRows(const QString& pid) {
    BrvExec(QStringLiteral("DELETE FROM TABGEBBUILDINGA WHERE PID = ?"), pid);
    DeleteGebDimensionsOfBuilding(pid);
    DeleteGebMeasuresOfBuilding(pid);
    DeleteGebAufzugBestandOfBuilding(pid);
}

QList<Col> dimensionColumns(const TGebDimension& d) {
    return {{"DimCaption", d.DimCaption},
            {"DimL", d.DimL},
            {"DimB", d.DimB},
            {"DimH", d.DimH},
            {"DimFlaeche", d.DimFlaeche},
            {"DimEinheit", d.DimEinheit},
            {"DimPos", d.DimPos}};
}

QList<Col> measureColumns(const TGebMeasure& m) {
    return {{"Caption", m.Caption},
            {"Zusatz", m.Zusatz},
            {"MeasureX", m.MeasureX},
            {"MeasureY", m.MeasureY},
            {"MeasureZ", m.MeasureZ},
            {"Einheit", m.Einheit},
            {"MeasureCount", m.MeasureCount},
            {"MeasureCanCount", m.MeasureCanCount},
            {"Richtpreis", m.Richtpreis},
            {"MeasureSum", m.MeasureSum},
            {"PosNr", m.PosNr}};
}

QList<Col> aufzugColumns(const TGebAufzugBestand& a) {
    return {{"AufzugCaption", a.AufzugCaption},
            {"Nutzlast", a.Nutzlast},
            {"Haltestellen", a.Haltestellen},
            {"Anzahl", a.Anzahl},
            {"Richtpreis", a.Richtpreis},
            {"RichtpreisExtra", a.RichtpreisExtra},
            {"ExtraHaltestelleCount", a.ExtraHaltestelleCount},
            {"Einheit", a.Einheit},
            {"AufzugSumme", a.AufzugSumme},
            {"OwnerID", a.OwnerID}};
}

} // namespace

// ---- Objects ----

QList<TGebObjekt> GetGebObjekte(const QString& ownerId) {
    return readList<TGebObjekt>(QStringLiteral("SELECT %1 FROM TABGEBOBJEKT WHERE OWNER_ID = ? ORDER BY CAPTION")
                                    .arg(QLatin1String(kObjektColumns)),
                                ownerId, [&](fb::Statement& s) { return objektFrom(s, s.asText("PID"), ownerId); });
}

TGebObjekt GetGebObjekt(const QString& pid) {
    const QList<TGebObjekt> found = readList<TGebObjekt>(
        QStringLiteral("SELECT %1 FROM TABGEBOBJEKT WHERE PID = ?").arg(QLatin1String(kObjektColumns)), pid,
        [](fb::Statement& s) { return objektFrom(s, s.asText("PID"), s.asText("OWNER_ID")); });
    return found.isEmpty() ? TGebObjekt() : found.first();
}

QList<TGebObjektGeb> GetGebObjektGebList(const QString& ownerId) {
    return readList<TGebObjektGeb>(
        QStringLiteral("SELECT TABGEBOBJEKT.PID AS OBJPID, TABGEBOBJEKT.CAPTION AS OBJCAP, STRASSE AS OBJSTR, ORT AS "
                       "OBJORT, TABGEBBUILDINGA.CAPTION AS GEBCAP, TABGEBBUILDINGA.PID AS GEBPID, TABGEBBUILDINGA.ART "
                       "AS GEBART, TABGEBBUILDINGA.AUSF AS GEBAUSF FROM TABGEBOBJEKT, TABGEBBUILDINGA WHERE "
                       "TABGEBOBJEKT.OWNER_ID = ? AND TABGEBBUILDINGA.GEBOBJ_ID = TABGEBOBJEKT.PID"),
        ownerId, [](fb::Statement& s) {
            TGebObjektGeb g;
            g.ObjCaption = s.asText("OBJCAP");
            g.ObjStrasse = s.asText("OBJSTR");
            g.ObjOrt = s.asText("OBJORT");
            g.GebArt = s.asText("GEBART");
            g.GebAusf = s.asText("GEBAUSF");
            g.GebCaption = s.asText("GEBCAP");
            g.GebPID = s.asText("GEBPID");
            g.ObjektPID = s.asText("OBJPID");
            return g;
        });
}

QString InsertGebObjekt(const QString& caption, const QString& ownerId, const QString& postcode, const QString& town,
                        const QString& street) {
    {
        BrvSql q(QStringLiteral("SELECT FIRST 1 1 FROM MANDANTEN M WHERE CAST(M.MANDANT_NR AS VARCHAR(11)) = ? AND "
                                "M.LOCK_ATTACHMENT IS DISTINCT FROM CURRENT_CONNECTION"),
                 ownerId);
        const bool foreign = q.next();
        q->closeCursor();
        if (foreign)
            throw EBrvException_DBERROR(kNotLockedHere);
    }
    QString pid = NewGuidText();
    const QString empty;
    insertRow("TABGEBOBJEKT", {{"PID", pid},
                               {"Owner_ID", ownerId},
                               {"VersNehmer", empty},
                               {"Auftraggeber", empty},
                               {"Caption", caption},
                               {"Strasse", street},
                               {"Ort", postcode + QLatin1Char(' ') + town},
                               {"Grundbuch", empty},
                               {"Gemarkung", empty},
                               {"Flur", empty},
                               {"CreateDate", todayText()},
                               {"AUFSTRASSE", empty},
                               {"AUFORT", empty},
                               {"ERSTELLERVOR", empty},
                               {"ERSTELLERNACH", empty},
                               {"USTPFLICHT", empty},
                               {"INDVSTVAL", SqlNull{}}});
    BrvCommit();
    return pid;
}

void UpdateGebObjekt(const TGebObjekt& o) {
    requireOwnerLock(kFromObject, "O.PID", o.PID);
    updateRow("TABGEBOBJEKT",
              {{"VersNehmer", o.VersNehmer},
               {"Auftraggeber", o.Ersteller},
               {"Caption", o.Caption},
               {"Strasse", o.Strasse},
               {"Ort", o.Ort},
               {"Grundbuch", o.Grundbuch},
               {"Gemarkung", o.Gemarkung},
               {"Flur", o.Flur},
               {"AUFSTRASSE", o.ErstellerStr},
               {"AUFORT", o.ErstellerOrt},
               {"ERSTELLERVOR", o.ErstellerVor},
               {"ERSTELLERNACH", o.ErstellerNach},
               {"USTPFLICHT", o.UstPflicht ? QStringLiteral("1") : QStringLiteral("0")},
               {"INDVSTVAL", o.UstPflicht ? 0.0 : o.IndVstVal}},
              o.PID);
    BrvCommit();
}

void DeleteGebObjekt(const QString& pid) {
    requireOwnerLock(kFromObject, "O.PID", pid);
    // Whole or not at all: a line another seat holds must not leave the rows deleted before it pending, for the
    // next unrelated commit to make durable.
    BrvUnitOfWork work;
    BrvExec(QStringLiteral("DELETE FROM TABGEBOBJEKT WHERE PID = ?"), pid);
    for (const TGebBuilding& b : GetGebBuildings(pid))
        deleteBuildingRows(b.PID);
    work.commit();
}

// ---- Buildings ----

QList<TGebBuilding> GetGebBuildings(const QString& objektPid) {
    return readList<TGebBuilding>(QLatin1String(kBuildingSelect) + QStringLiteral("GEBOBJ_ID = ? ORDER BY CAPTION"),
                                  objektPid, [&](fb::Statement& s) { return buildingFrom(s, objektPid); });
}

std::optional<TGebBuilding> GetGebBuilding(const QString& pid) {
    const QList<TGebBuilding> found =
        readList<TGebBuilding>(QLatin1String(kBuildingSelect) + QStringLiteral("PID = ?"), pid,
                               [](fb::Statement& s) { return buildingFrom(s, s.asText("GEBOBJ_ID")); });
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

void InsertGebBuilding(const TGebBuilding& b) {
    requireOwnerLock(kFromObject, "O.PID", b.GebObj_ID);
    QList<Col> cols = buildingColumns(b);
    // Key, owner, position and creation date stand where the table has them.
    cols.insert(0, {"GebObj_ID", b.GebObj_ID});
    cols.insert(0, {"PID", b.PID});
    const qsizetype zeitwert =
        std::find_if(cols.cbegin(), cols.cend(), [](const Col& c) { return qstrcmp(c.name, "Zeitwert") == 0; }) -
        cols.cbegin();
    cols.insert(zeitwert + 1, Col{"CreateDate", b.CreateDate});
    cols.insert(zeitwert + 1, Col{"BuildingPos", 0});
    insertRow("TABGEBBUILDINGA", cols);
    BrvCommit();
}

void UpdateGebBuilding(const TGebBuilding& b) {
    requireOwnerLock(kFromBuilding, "B.PID", b.PID);
    updateRow("TABGEBBUILDINGA", buildingColumns(b), b.PID);
    BrvCommit();
}

void DeleteGebBuilding(const QString& pid) {
    requireOwnerLock(kFromBuilding, "B.PID", pid);
    BrvUnitOfWork work;
    deleteBuildingRows(pid);
    work.commit();
}

// ---- Dimension lines ----

QList<TGebDimension> GetGebDimensions(const QString& buildingPid) {
    return readList<TGebDimension>(
        QStringLiteral("SELECT * FROM TABGEBDIM WHERE DimGeb_FK = ? ORDER BY DimPos, DimCaption"), buildingPid,
        [](fb::Statement& s) {
            TGebDimension d;
            d.PID = s.asText("PID");
            d.DimGeb_FK = s.asText("DIMGEB_FK");
            d.DimCaption = s.asText("DIMCAPTION");
            d.DimL = s.asDouble("DIML");
            d.DimB = s.asDouble("DIMB");
            d.DimH = s.asDouble("DIMH");
            d.DimFlaeche = s.asDouble("DIMFLAECHE");
            d.DimEinheit = s.asText("DIMEINHEIT");
            d.DimPos = s.asInt("DIMPOS");
            return d;
        });
}

void InsertGebDimension(const TGebDimension& d) {
    requireOwnerLock(kFromBuilding, "B.PID", d.DimGeb_FK);
    QList<Col> cols = dimensionColumns(d);
    cols.insert(0, {"DimGeb_FK", d.DimGeb_FK});
    cols.insert(0, {"PID", d.PID});
    insertRow("TABGEBDIM", cols);
    // The line dialog reports the line as stored: it must not wait for the next unrelated commit.
    BrvCommit();
}

void UpdateGebDimension(const TGebDimension& d) {
    requireOwnerLock(kFromDimension, "L.PID", d.PID);
    updateRow("TABGEBDIM", dimensionColumns(d), d.PID);
    BrvCommit();
}

void DeleteGebDimension(const QString& pid) {
    requireOwnerLock(kFromDimension, "L.PID", pid);
    BrvExec(QStringLiteral("DELETE FROM TABGEBDIM WHERE PID = ?"), pid);
    BrvCommit();
}

void DeleteGebDimensionsOfBuilding(const QString& buildingPid) {
    BrvExec(QStringLiteral("DELETE FROM TABGEBDIM WHERE DimGeb_FK = ?"), buildingPid);
}

// ---- Component lines ----

QList<TGebMeasure> GetGebMeasures(const QString& buildingPid) {
    return readList<TGebMeasure>(
        QStringLiteral("SELECT * FROM TABGEBPRODUKT WHERE GebBuilding_ID = ? ORDER BY PosNr, Caption"), buildingPid,
        [](fb::Statement& s) {
            TGebMeasure m;
            m.PID = s.asText("PID");
            m.GebBuildingID = s.asText("GEBBUILDING_ID");
            m.Caption = s.asText("CAPTION");
            m.Zusatz = s.asText("ZUSATZ");
            m.MeasureX = s.asDouble("MEASUREX");
            m.MeasureY = s.asDouble("MEASUREY");
            m.MeasureZ = s.asDouble("MEASUREZ");
            m.Einheit = s.asText("EINHEIT");
            m.MeasureCount = s.asDouble("MEASURECOUNT");
            m.MeasureCanCount = s.asInt("MEASURECANCOUNT");
            m.Richtpreis = s.asDouble("RICHTPREIS");
            m.MeasureSum = s.asDouble("MEASURESUM");
            m.PosNr = s.asInt("POSNR");
            return m;
        });
}

void InsertGebMeasure(const TGebMeasure& m) {
    requireOwnerLock(kFromBuilding, "B.PID", m.GebBuildingID);
    QList<Col> cols = measureColumns(m);
    cols.insert(0, {"GebBuilding_ID", m.GebBuildingID});
    cols.insert(0, {"PID", m.PID});
    insertRow("TABGEBPRODUKT", cols);
    BrvCommit();
}

void UpdateGebMeasure(const TGebMeasure& m) {
    requireOwnerLock(kFromMeasure, "L.PID", m.PID);
    updateRow("TABGEBPRODUKT", measureColumns(m), m.PID);
    BrvCommit();
}

void DeleteGebMeasure(const QString& pid) {
    requireOwnerLock(kFromMeasure, "L.PID", pid);
    BrvExec(QStringLiteral("DELETE FROM TABGEBPRODUKT WHERE PID = ?"), pid);
    BrvCommit();
}

void DeleteGebMeasuresOfBuilding(const QString& buildingPid) {
    BrvExec(QStringLiteral("DELETE FROM TABGEBPRODUKT WHERE GebBuilding_ID = ?"), buildingPid);
}

// ---- Elevator lines ----

QList<TGebAufzugBestand> GetGebAufzugBestand(const QString& buildingPid) {
    QList<TGebAufzugBestand> out = readList<TGebAufzugBestand>(
        QStringLiteral("SELECT * FROM TABGEBAUFZUGBESTAND WHERE OwnerID = ? ORDER BY AufzugCaption"), buildingPid,
        [](fb::Statement& s) {
            TGebAufzugBestand a;
            a.PID = s.asText("PID");
            a.AufzugCaption = s.asText("AUFZUGCAPTION");
            a.Nutzlast = s.asText("NUTZLAST");
            a.Haltestellen = s.asInt("HALTESTELLEN");
            a.Anzahl = s.asInt("ANZAHL");
            a.Richtpreis = s.asDouble("RICHTPREIS");
            a.RichtpreisExtra = s.asDouble("RICHTPREISEXTRA");
            a.ExtraHaltestelleCount = s.asInt("EXTRAHALTESTELLECOUNT");
            a.Einheit = s.asText("EINHEIT");
            a.AufzugSumme = s.asDouble("AUFZUGSUMME");
            a.OwnerID = s.asText("OWNERID");
            return a;
        });
    BrvCommit();
    return out;
}

void InsertGebAufzugBestand(const TGebAufzugBestand& a) {
    requireOwnerLock(kFromBuilding, "B.PID", a.OwnerID);
    QList<Col> cols = aufzugColumns(a);
    cols.insert(0, {"PID", a.PID});
    insertRow("TABGEBAUFZUGBESTAND", cols);
    BrvCommit();
}

void UpdateGebAufzugBestand(const TGebAufzugBestand& a) {
    requireOwnerLock(kFromElevator, "L.PID", a.PID);
    updateRow("TABGEBAUFZUGBESTAND", aufzugColumns(a), a.PID);
    BrvCommit();
}

void DeleteGebAufzugBestand(const QString& pid) {
    requireOwnerLock(kFromElevator, "L.PID", pid);
    BrvExec(QStringLiteral("DELETE FROM TABGEBAUFZUGBESTAND WHERE PID = ?"), pid);
    BrvCommit();
}

void DeleteGebAufzugBestandOfBuilding(const QString& buildingPid) {
    BrvExec(QStringLiteral("DELETE FROM TABGEBAUFZUGBESTAND WHERE OwnerID = ?"), buildingPid);
}

// ---- Attachments ----

QList<TGebFile> GetGebFiles(const QString& ownerId) {
    return readList<TGebFile>(QStringLiteral("SELECT * FROM TABGEBFILE WHERE Owner_ID = ? ORDER BY GebFilename"),
                              ownerId, [](fb::Statement& s) {
                                  TGebFile f;
                                  f.PID = s.asText("PID");
                                  f.Owner_ID = s.asText("OWNER_ID");
                                  f.GebFilename = s.asText("GEBFILENAME");
                                  return f;
                              });
}

void InsertGebFile(const QString& pid, const QString& ownerId, const QString& fileName) {
    requireOwnerLock(kFromObject, "O.PID", ownerId);
    insertRow("TABGEBFILE", {{"PID", pid}, {"Owner_ID", ownerId}, {"GebFilename", fileName}});
    BrvCommit();
}

void DeleteGebFile(const QString& pid) {
    requireOwnerLock(kFromFile, "F.PID", pid);
    BrvExec(QStringLiteral("DELETE FROM TABGEBFILE WHERE PID = ?"), pid);
    BrvCommit();
}

// ---- Building types ----

QList<TGebType> GetGebTypes() {
    try {
        QList<TGebType> out;
        BrvSql q(QStringLiteral("SELECT * FROM TABGEBTYPES ORDER BY GEBCAPTION"));
        while (q.next()) {
            fb::Statement& s = q.st();
            TGebType t;
            t.PID = s.asText("PID");
            t.GEBCAPTION = s.asText("GEBCAPTION");
            t.LIFETIMEMIN = s.asInt("LIFETIMEMIN");
            t.LIFETIMEMAX = s.asInt("LIFETIMEMAX");
            t.DESCRIPTION = s.asText("DESCRIPTION");
            t.AUSFROHBAU = s.asText("AUSFROHBAU");
            t.AUSFEINFACH = s.asText("AUSFEINFACH");
            t.AUSFNORMAL = s.asText("AUSFNORMAL");
            t.AUSFGUT = s.asText("AUSFGUT");
            t.RICHTPROH = s.asText("RICHTPROH");
            t.RICHTPEINFACH = s.asText("RICHTPEINFACH");
            t.RICHTPNORMAL = s.asText("RICHTPNORMAL");
            t.RICHTPGUT = s.asText("RICHTPGUT");
            t.INDEXNR = s.asInt("INDEXNR");
            t.RICHTPREISART = s.asText("RICHTPREISART");
            t.RICHTBASISEINH = s.asText("RICHTBASISEINH");
            t.HERKUNFT = s.asText("HERKUNFT");
            t.UST = s.asText("UST");
            out.append(t);
        }
        return out;
    } catch (const EBrvException_DBERROR&) {
        throw;
    } catch (const Exception& e) {
        throw EBrvException_DBERROR(e.message());
    }
}
