// The inventory sum and its block.

#include "assets/inventory.h"
#include "support/fixtures.h"

namespace {

InventoryResult calc(double anlagen, double kfz = 0, double fin = 0, double vorraete = 0, double vorsorge = 0) {
    return CalcInventory({anlagen, kfz, fin, vorraete, vorsorge});
}

TEST(Inventory, RoundingHalfToEvenAndThousandsCeiling) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(30000.5), 30000);
    EXPECT_EQ(RoundHalfEven(100000.49), 100000);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(calc(100000.49, 20000.25, 10000.25).zwischensumme, 70000.0);
    EXPECT_EQ(calc(0.5).zwischensumme, 0.0);
    EXPECT_EQ(calc(1.5).zwischensumme, 2.0);
    const InventoryResult exact = calc(1234000);
    EXPECT_EQ(exact.aufgerundet, 1234000);
    const InventoryResult above = calc(1234000, 0, 0, 0.01);
    EXPECT_DOUBLE_EQ(above.inventar, 1234000.01);
    EXPECT_EQ(above.aufgerundet, 1235000);
    EXPECT_EQ(calc(0).aufgerundet, 0);
    // Billions: beyond 32 bits, never wrapped to a negative sum.
    const InventoryResult large = calc(3001154000, 0, 0, 0.01);
    EXPECT_EQ(large.aufgerundet, Q_INT64_C(3001155000));
    EXPECT_TRUE(InventoryBlockText({3001154000, 0, 0, 0.01, 0}, large).contains(QStringLiteral("3.001.155.000,00")));
    try {
        calc(100, 60, 50);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Die Summe der angegebenen Werte zur Ermittlung de Versicherungswertes ist negativ."));
    }
}

TEST(Inventory, BlockAsTextAndTable) {
    const InventoryInputs in{100000.49, 20000.25, 10000.25, 5000, 1234.5};
    const InventoryResult r = CalcInventory(in);
    EXPECT_EQ(InventoryBlockText(in, r),
              QStringLiteral("\tBetrag/ EUR\r\n"
                             "Anlagensumme ohne gelöschte Anlagen\t100.000,49\r\n"
                             "abzgl. KFZ\t20.000,25\r\n"
                             "abzgl. Finanzanlagen\t10.000,25\r\n"
                             "Versicherungswert der technischen und kaufmännischen Geschäftsausstattung\t70.000,00\r\n"
                             "zzgl. Vorräte\t5.000,00\r\n"
                             "zzgl. Vorsorge\t1.234,50\r\n"
                             "Inventarsumme\t76.234,50\r\n"
                             "Inventarsumme aufgerundet\t77.000,00\r\n"));
    const QString html = InventoryBlockHtml(in, r);
    EXPECT_TRUE(html.contains(QStringLiteral("<tr><td><b>Inventarsumme aufgerundet</b></td><td class=\"n\" "
                                             "x:num=\"77000.00\"><b>77.000,00</b></td></tr>")));
    EXPECT_TRUE(html.contains(
        QStringLiteral("<tr><td>zzgl. Vorräte</td><td class=\"n\" x:num=\"5000.00\">5.000,00</td></tr>")));
    EXPECT_TRUE(html.contains(QStringLiteral("text-align:right")));
    EXPECT_EQ(html.count(QStringLiteral("<tr>")), 9);
}

} // namespace
