#pragma once
// The schema: the base tables of a new database, and the check that upgrades an existing one at every start.

#include <QString>

#include <functional>

// Result codes: 0 not connected; 1 all steps ran; +10 per failed step; 100 the check was cut off.
int CheckDatabaseStructure();

// The folder holding the building-type reference file that the check imports after (re)creating TABGEBTYPES.
extern QString gCommonFilesPath;

// Creates the base tables with their keys and indexes and fills BETRIEBSARTEN and STANDORTTYPEN, on the shared
// connection (which must be open on an empty database).
void CreateBaseTables();

// Creates a new database file at path with the base tables. Raises EBrvCommonException with a German message
// when the file exists or the database cannot be made.
void CreateNewDatabase(const QString& path, const QString& user, const QString& password);

struct BetriebsartRef {
    const char* nr;
    const char* bez;
};
// The divisions and groups of the German classification of economic activities (WZ 2008).
extern const BetriebsartRef kBetriebsarten[];
extern const int kBetriebsartenCount;

// The building module fills a newly created building-type table from the catalogue file of the data folder; the
// schema check calls what it registered (the data layer does not depend on the building module).
void SetGebTypesImport(std::function<void(const QString& folder)> import);
