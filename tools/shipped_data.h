#pragma once
// Builds the update files a new installation starts from ("idx_ex.dat", "idxb_ex.dat", "DataGebTypes.dat",
// "DataBauteile.dat", "DataAufzug.dat") from the source tables in data/quellen.

#include "assets/index_files.h"
#include "building/gebtypes.h"

#include <QList>
#include <QString>
#include <QStringList>

struct ShippedData {
    QList<IndexDescriptionRecord> descriptions;
    QList<IndexValueRecord> values;
    QList<TGebType> types;
    QList<TGebBauteil> components;
    QList<TGebAufzug> elevators;
};

struct SampleAsset {
    QString konto, bezeichnung, datum; // datum as DD.MM.YYYY
    double ahk = 0;
};

// Raise Exception with the table and line of the first fault.
ShippedData ReadShippedDataSources(const QString& sourceFolder);
QList<SampleAsset> ReadSampleAssets(const QString& sourceFolder);
// Writes the five files into the folder and returns their names.
QStringList WriteShippedDataFiles(const ShippedData& data, const QString& outFolder);
