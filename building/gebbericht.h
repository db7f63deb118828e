#pragma once
// The statements of the building report: one building with its type, object, client, lines and today's VAT
// rate. Keys and names are bound parameters, never part of the statement text.

#include "building/gebmodel.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <variant>

// One statement of a report data set with its values in the order of its "?" marks; empty sql for none.
struct GebReportSql {
    QString sql;
    QList<std::variant<QString, int>> params;
    bool isEmpty() const { return sql.isEmpty(); }
};

// Runs a statement on the shared connection; the rows with their column values, and the column names (upper
// case) when asked for.
QList<QVariantList> RunGebReportSql(const GebReportSql& s, QStringList* columns = nullptr);

class TGebBerichtSQL {
public:
    TGebBerichtSQL(int clientId, const QString& gebAusf, const QString& gebArt, const QString& objId,
                   const QString& gebId);

    GebReportSql GEB_Dim_SQL() const;
    GebReportSql GEB_PRODUKT_SQL() const;
    GebReportSql GEB_Dim_Sum_SQL() const;
    GebReportSql GEB_Aufzug_SQL() const;
    GebReportSql GEB_Objekt_SQL() const;
    GebReportSql GEB_Mandant_SQL() const;
    GebReportSql GEB_Building_SQL() const;
    GebReportSql GEB_Richtpreis_SQL() const; // by the finish; empty for an unknown finish
    GebReportSql GEB_Cur_SQL() const;
    GebReportSql GEB_Ausf_SQL() const; // by the finish; empty for an unknown finish
    GebReportSql GEB_Description() const;
    GebReportSql GEB_Rohbau_SQL() const;

    // The object whose creator data the report prints.
    TGebObjekt GetObjektData() const;

private:
    QString FGebID, FObjID, FGebArt, FGebAusf;
    int FClientID;
};
