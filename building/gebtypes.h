#pragma once
// Building types of the catalogue and their import from the reference file "DataGebTypes.dat".

#include <QList>
#include <QString>

// One building type of the catalogue.
class TGebType {
public:
    QString GEBCAPTION;
    QString AUSFGUT;
    QString DESCRIPTION;
    QString AUSFROHBAU;
    int LIFETIMEMAX = 0;
    QString AUSFEINFACH;
    QString AUSFNORMAL;
    int LIFETIMEMIN = 0;
    QString RICHTPEINFACH;
    QString RICHTPNORMAL;
    QString RICHTPROH;
    QString RICHTPGUT;
    QString PID;
    int INDEXNR = 0;
    QString RICHTPREISART;
    QString RICHTBASISEINH;
    QString HERKUNFT;
    QString UST;
};

void DeleteAllGebTypes();
void InsertGebType(const TGebType& t);

// Size of one record of "DataGebTypes.dat".
constexpr int kGebTypeRecordSize = 22584;

// Decodes one record of the reference file.
TGebType DecodeGebTypeRecord(const char* record);

// Replaces TABGEBTYPES by the records of "DataGebTypes.dat" in the folder. Returns the count message, or an
// empty text when the file is absent (the table is then left alone). A read error stops the import and is raised.
QString ImportGebTypeDAT(const QString& datFileFolder);
