#include "core/convert.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(Convert, TextToFloatUsesTheGermanFormat) {
    EXPECT_DOUBLE_EQ(TextToFloat(QStringLiteral("1.234,5")), 1234.5);
    EXPECT_DOUBLE_EQ(TextToFloat(QStringLiteral(" -0,25 ")), -0.25);
    try {
        TextToFloat(QStringLiteral("12a"));
        FAIL();
    } catch (const EBrvTypeConversionError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Der Wert 12a ist kein gueltiger Fliesskommawert."));
    }
    EXPECT_THROW(TextToFloat(QString()), EBrvTypeConversionError);
    EXPECT_TRUE(IsFloat(QStringLiteral("3,5")));
    EXPECT_FALSE(IsFloat(QStringLiteral("3,5,5")));
    EXPECT_TRUE(IsInteger(QStringLiteral("2147483647")));
    EXPECT_FALSE(IsInteger(QStringLiteral("2147483648")));
    EXPECT_FALSE(IsInteger(QStringLiteral("1,0")));
}

TEST(Convert, OneNumberParserTakesExactlyTheGermanForms) {
    const std::pair<const char*, double> good[] = {{"5500", 5500},
                                                   {"5.500", 5500},
                                                   {"5.500,25", 5500.25},
                                                   {"5500,25", 5500.25},
                                                   {"1.234.567,891", 1234567.891},
                                                   {"0,5", 0.5},
                                                   {",5", 0.5},
                                                   {"-12,5", -12.5},
                                                   {"+7", 7},
                                                   {" 12 ", 12},
                                                   {"0", 0},
                                                   {"999", 999}};
    for (const auto& [text, value] : good) {
        const std::optional<double> v = ParseNumber(QString::fromUtf8(text));
        ASSERT_TRUE(v.has_value()) << text;
        EXPECT_DOUBLE_EQ(*v, value) << text;
    }
    // Never read as 0 or scaled: a dot that is no grouping, two commas, exponents, words, nothing at all.
    for (const char* text :
         {"5.5", "12.5", "1.2345", "1.23", "12.500.5", ".500", "1.2.3,4", "3,5,5",    "1e300",  "1E3", "inf",
          "nan", "12a",  "",       " ",    "-",        ",",    "5 500",   "5,500.25", "1..000", "--1"})
        EXPECT_FALSE(ParseNumber(QString::fromUtf8(text)).has_value()) << text;
    try {
        NumberOfField(QStringLiteral("5.5"), QStringLiteral("Richtpreis"));
        FAIL();
    } catch (const EBrvTypeConversionError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Das Feld \"Richtpreis\" enthält keine gültige Zahl: \"5.5\".\r\nBitte "
                                              "geben Sie die Zahl so ein: 5500 oder 5.500 oder 5.500,25."));
    }
}

TEST(Convert, TextToDateAcceptsDayMonthYear) {
    EXPECT_EQ(TextToDate(QStringLiteral("31.12.2008")), EncodeDate(2008, 12, 31));
    EXPECT_EQ(TextToDate(QStringLiteral("1.2.2008")), EncodeDate(2008, 2, 1));
    try {
        TextToDate(QStringLiteral("31.13.2008"));
        FAIL();
    } catch (const EBrvTypeConversionError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Der Wert31.13.2008 ist kein gueltiges Datum im Format DD.MM.YYYY"));
    }
    EXPECT_THROW(TextToDate(QStringLiteral("29.02.2023")), EBrvTypeConversionError);
    EXPECT_THROW(TextToDate(QStringLiteral("2008-12-31")), EBrvTypeConversionError);
}

TEST(Convert, FormatDateTimeLocalPatterns) {
    const TDateTime t = EncodeDate(2009, 3, 7) + (8 * 3600 + 5 * 60 + 9) / 86400.0;
    EXPECT_EQ(FormatDateTimeLocal(QStringLiteral("DD.MM.YYYY"), t), QStringLiteral("07.03.2009"));
    EXPECT_EQ(FormatDateTimeLocal(QStringLiteral("YYYYMMDD_HHmmss"), t), QStringLiteral("20090307_080509"));
    EXPECT_EQ(FormatDateTimeLocal(QStringLiteral("dd.mm.yyyy hh:nn"), t), QStringLiteral("07.03.2009 08:05"));
    EXPECT_EQ(FormatDateTimeLocal(QStringLiteral("DD.MM.YYYY"), 1e300), QString());
    EXPECT_EQ(TDateTimeToDate(0), QDate(1899, 12, 30));
}

TEST(Convert, NewGuidTextHas32HexDigits) {
    const QString a = NewGuidText(), b = NewGuidText();
    EXPECT_NE(a, b);
    for (const QString& g : {a, b})
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{32}$")).match(g).hasMatch()) << g.toStdString();
}
