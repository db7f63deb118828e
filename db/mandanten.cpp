#include "db/mandanten.h"

#include "db/dbaccess.h"

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
