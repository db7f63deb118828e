#pragma once
// Reading and writing the building module's objects, buildings, line items and attachments. Free functions over
// the shared connection; each says whether it commits. A list read that fails raises EBrvException_DBERROR.

#include "building/gebmodel.h"

#include <QList>

#include <optional>

QList<TGebObjekt> GetGebObjekte(const QString& ownerId);
// An unknown identifier gives an object with empty PID and OwnerID.
TGebObjekt GetGebObjekt(const QString& pid);
QList<TGebObjektGeb> GetGebObjektGebList(const QString& ownerId);
// Commits; returns the new identifier. Ort is postcode, one blank, town.
QString InsertGebObjekt(const QString& caption, const QString& ownerId, const QString& postcode, const QString& town,
                        const QString& street);
void UpdateGebObjekt(const TGebObjekt& o); // commits
void DeleteGebObjekt(const QString& pid);  // with its buildings and their lines; commits

QList<TGebBuilding> GetGebBuildings(const QString& objektPid);
std::optional<TGebBuilding> GetGebBuilding(const QString& pid);
void InsertGebBuilding(const TGebBuilding& b); // commits
void UpdateGebBuilding(const TGebBuilding& b); // commits
void DeleteGebBuilding(const QString& pid);    // with its lines; commits

QList<TGebDimension> GetGebDimensions(const QString& buildingPid);
void InsertGebDimension(const TGebDimension& d);
void UpdateGebDimension(const TGebDimension& d);
void DeleteGebDimension(const QString& pid);
void DeleteGebDimensionsOfBuilding(const QString& buildingPid);

QList<TGebMeasure> GetGebMeasures(const QString& buildingPid);
void InsertGebMeasure(const TGebMeasure& m);
void UpdateGebMeasure(const TGebMeasure& m);
void DeleteGebMeasure(const QString& pid);
void DeleteGebMeasuresOfBuilding(const QString& buildingPid);

// Elevator lines commit themselves, except the deletion of all lines of a building.
QList<TGebAufzugBestand> GetGebAufzugBestand(const QString& buildingPid);
void InsertGebAufzugBestand(const TGebAufzugBestand& a);
void UpdateGebAufzugBestand(const TGebAufzugBestand& a);
void DeleteGebAufzugBestand(const QString& pid);
void DeleteGebAufzugBestandOfBuilding(const QString& buildingPid);

QList<TGebFile> GetGebFiles(const QString& ownerId);
void InsertGebFile(const QString& pid, const QString& ownerId, const QString& fileName);
void DeleteGebFile(const QString& pid);

QList<TGebType> GetGebTypes();
