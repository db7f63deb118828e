#pragma once
// Client rows.

#include "db/brenvik_types.h"

#include <QList>

// Every client, ordered by FIRMA (the database's collation); only the number and the firm name are read.
QList<TBrenvikMandant> GetMandantenTreeList();
