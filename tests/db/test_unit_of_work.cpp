// Writes of several statements are whole or not at all: the unit of work, and each operation that uses it with
// one statement in its middle failing.

#include "building/gebdata.h"
#include "db/brenvik_config.h"
#include "db/mandanten.h"
#include "db/versicherungswerte.h"
#include "support/fixtures.h"

namespace {

class UnitOfWorkTest : public SchemaDbTest {
protected:
    void addAddress(int nr) {
        exec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) VALUES (1, 1, %1)").arg(nr));
    }
    int addresses() { return count(QStringLiteral("SELECT COUNT(*) FROM ADRESSEN")); }
    // What another seat sees: only what is committed.
    int committedAddresses() {
        Seat other(dbFile);
        return other.run([this] { return addresses(); });
    }
};

TEST_F(UnitOfWorkTest, SavepointsNestUndoExactlyTheirOwnStatementsAndCommitOnlyAtTheOutermost) {
    {
        BrvUnitOfWork outer;
        BrvExec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) VALUES (1, 1, 1)"));
        {
            BrvUnitOfWork inner;
            BrvExec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) VALUES (1, 1, 2)"));
            BrvCommit(); // a data-access function's own commit waits for the outermost unit
            EXPECT_EQ(committedAddresses(), 0);
        } // left without commit(): only the inner insert goes
        EXPECT_EQ(addresses(), 1);
        {
            BrvUnitOfWork inner;
            BrvExec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) VALUES (1, 1, 3)"));
            BrvUnitOfWork moved = std::move(inner); // move-only: the moved-to scope owns the savepoint
            moved.commit();
        }
        EXPECT_EQ(committedAddresses(), 0);
        outer.commit();
    }
    EXPECT_EQ(committedAddresses(), 2);
    EXPECT_FALSE(gBrvTrans->active());

    // An exception leaving the outermost scope undoes all of the unit.
    try {
        BrvUnitOfWork work;
        BrvExec(QStringLiteral("DELETE FROM ADRESSEN"));
        BrvExec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) VALUES (1, 1, 7)"));
        BrvExec(QStringLiteral("INSERT INTO ADRESSEN (BRV_MANDANT_NR, MANDANT_NR, ADRESS_NR) VALUES (1, 1, 7)"));
        FAIL() << "a duplicate key was stored";
    } catch (const fb::Error&) {
    }
    EXPECT_FALSE(BrvUnitOfWork::open());
    EXPECT_EQ(committedAddresses(), 2);

    // A rollback inside a unit (a function that catches its own failure) dooms the unit: its commit refuses.
    {
        BrvUnitOfWork work;
        BrvExec(QStringLiteral("DELETE FROM ADRESSEN WHERE ADRESS_NR = 1"));
        BrvRollback();
        EXPECT_THROW(work.commit(), EBrvException_DBERROR);
    }
    EXPECT_EQ(addresses(), 2);
    // Outside any unit, commit and rollback act at once as before.
    BrvExec(QStringLiteral("DELETE FROM ADRESSEN WHERE ADRESS_NR = 1"));
    BrvRollback();
    EXPECT_EQ(addresses(), 2);
}

TEST_F(UnitOfWorkTest, IdleEndOfTheSharedTransactionWaitsForReadsAndUnits) {
    addAddress(1);
    {
        BrvSql q(QStringLiteral("SELECT ADRESS_NR FROM ADRESSEN"));
        ASSERT_TRUE(q.next());
        EXPECT_FALSE(BrvEndIdleTransaction()); // a read in progress keeps its cursor
        EXPECT_TRUE(gBrvTrans->active());
    }
    {
        BrvUnitOfWork work;
        BrvExec(QStringLiteral("DELETE FROM ADRESSEN"));
        EXPECT_FALSE(BrvEndIdleTransaction());
    }
    EXPECT_EQ(addresses(), 1);
    GetAdressen(1); // a read that does not commit
    EXPECT_TRUE(BrvEndIdleTransaction());
    EXPECT_FALSE(gBrvTrans->active());
}

TEST_F(UnitOfWorkTest, EveryOperationOfSeveralStatementsLeavesNothingWhenOneInTheMiddleFails) {
    // A client with everything that hangs on it, and a building object with a building and its lines.
    addAddress(1);
    exec(QStringLiteral("INSERT INTO KENNZAHLEN_HIST (BRV_MANDANT_NR, MANDANT_NR, BILANZJAHR) VALUES (1, 1, 2020)"));
    exec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR) "
                        "VALUES (1, 1, 1, 0)"));
    exec(QStringLiteral("INSERT INTO VERSICHERUNGSWERTE (BRV_MANDANT_NR, MANDANT_NR, ANLAGE_NR, ANLAGE_SUB_NR) "
                        "VALUES (1, 1, 1, 1)"));
    exec(QStringLiteral("INSERT INTO TABGEBOBJEKT (PID, OWNER_ID) VALUES ('O', '1')"));
    exec(QStringLiteral("INSERT INTO TABGEBBUILDINGA (PID, GEBOBJ_ID) VALUES ('B', 'O')"));
    exec(QStringLiteral("INSERT INTO TABGEBDIM (PID, DIMGEB_FK) VALUES ('D', 'B')"));
    exec(QStringLiteral("INSERT INTO TABGEBPRODUKT (PID, GEBBUILDING_ID) VALUES ('P', 'B')"));
    exec(QStringLiteral("INSERT INTO TABGEBAUFZUGBESTAND (PID, OWNERID) VALUES ('A', 'B')"));
    const auto snapshot = [this] {
        QStringList n;
        for (const char* t : {"MANDANTEN", "ADRESSEN", "KENNZAHLEN_HIST", "VERSICHERUNGSWERTE", "TABGEBOBJEKT",
                              "TABGEBBUILDINGA", "TABGEBDIM", "TABGEBPRODUKT", "TABGEBAUFZUGBESTAND"})
            n << scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(t)));
        return n.join(QLatin1Char(' '));
    };
    const QString before = snapshot();
    const auto afterAnUnrelatedCommit = [&] {
        SetKonfiguration(QStringLiteral("NACHHER"), QStringLiteral("x")); // would make pending rows durable
        reopen();
        return snapshot();
    };

    failOn(QStringLiteral("TABGEBPRODUKT"), "DELETE");
    EXPECT_ANY_THROW(DeleteGebObjekt(QStringLiteral("O")));
    EXPECT_ANY_THROW(DeleteGebBuilding(QStringLiteral("B")));
    EXPECT_ANY_THROW(DeleteMandant(1));
    EXPECT_EQ(afterAnUnrelatedCommit(), before);
    stopFailing();

    failOn(QStringLiteral("KENNZAHLEN_HIST"), "DELETE");
    EXPECT_THROW(DeleteMandant(1), EBrvException_DBERROR);
    EXPECT_EQ(afterAnUnrelatedCommit(), before);
    stopFailing();

    // A new client is stored together with its creator's lock, or not at all.
    failOn(QStringLiteral("MANDANTEN"), "UPDATE");
    TBrenvikMandant m;
    m.firma = QStringLiteral("Neu");
    EXPECT_EQ(SaveMandant(m, true), 0);
    stopFailing();
    EXPECT_EQ(afterAnUnrelatedCommit(), before);

    // The main asset with its related assets: one statement, both rows or none.
    failOn(QStringLiteral("VERSICHERUNGSWERTE"), "DELETE");
    EXPECT_THROW(DeleteVersWertMitVerbund(1, 1), EBrvException_DBERROR);
    EXPECT_EQ(afterAnUnrelatedCommit(), before);
    stopFailing();

    DeleteMandant(1);
    EXPECT_EQ(snapshot(), QStringLiteral("0 0 0 0 0 0 0 0 0"));
}

} // namespace
