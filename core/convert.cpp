#include "core/convert.h"

#include <algorithm>
#include <iterator>

#include <optional>

#include <QLocale>
#include <QRegularExpression>
#include <QUuid>

#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
}

TDateTime DateToTDateTime(const QDate& d) {
    return d.isValid() ? double(kEpoch.daysTo(d)) : 0.0;
}

TDateTime DateTimeToTDateTime(const QDateTime& dt) {
    if (!dt.isValid())
        return 0;
    return DateToTDateTime(dt.date()) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

namespace {
// Day counts beyond the years 1 to 9999 (and NaN) are no date: converting them would overflow.
bool dayCountInRange(TDateTime dt) {
    return std::isfinite(dt) && dt > -693594.0 && dt < 2958466.0;
}
} // namespace

QDate TDateTimeToDate(TDateTime dt) {
    if (!dayCountInRange(dt))
        return {};
    return kEpoch.addDays(static_cast<qint64>(std::floor(dt)));
}

QDateTime TDateTimeToDateTime(TDateTime dt) {
    if (!dayCountInRange(dt))
        return {};
    const double days = std::floor(dt);
    auto ms = static_cast<qint64>(std::llround((dt - days) * 86400000.0));
    QDate d = kEpoch.addDays(static_cast<qint64>(days));
    if (ms >= 86400000) {
        ms -= 86400000;
        d = d.addDays(1);
    }
    return QDateTime(d, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}

TDateTime EncodeDate(int year, int month, int day) {
    return DateToTDateTime(QDate(year, month, day));
}

int YearOf(TDateTime dt) {
    return TDateTimeToDate(dt).year();
}

bool IsInteger(const QString& text) {
    bool ok = false;
    text.trimmed().toInt(&ok);
    return ok;
}

std::optional<double> ParseNumber(const QString& text) {
    // Exactly the forms a German user types: "5500", "5.500", "5.500,25", "5500,25", ",5", "-12,5". Grouping dots
    // stand only between groups of three digits, and there is at most one decimal comma: "5.5" or "12.5" is no
    // number here (it would be 55 or 125 if the dots were simply dropped).
    const QLocale loc;
    static thread_local QString lastKey;
    static thread_local QRegularExpression re;
    const QString g = loc.groupSeparator(), d = loc.decimalPoint(), minus = loc.negativeSign();
    const QString key = g + QLatin1Char('|') + d + QLatin1Char('|') + minus;
    if (key != lastKey) {
        const QString eg = QRegularExpression::escape(g), ed = QRegularExpression::escape(d),
                      em = QRegularExpression::escape(minus);
        re = QRegularExpression(
            QStringLiteral("^(?:[+-]|%3)?(?:\\d{1,3}(?:%1\\d{3})+|\\d+)?(?:%2\\d+)?$").arg(eg, ed, em));
        lastKey = key;
    }
    QString t = text.trimmed();
    if (t.isEmpty() || !re.match(t).hasMatch())
        return std::nullopt;
    bool negative = false;
    if (t.startsWith(minus) || t.startsWith(QLatin1Char('-'))) {
        negative = true;
        t.remove(0, t.startsWith(minus) ? minus.size() : 1);
    } else if (t.startsWith(QLatin1Char('+'))) {
        t.remove(0, 1);
    }
    t.remove(g);
    t.replace(d, QStringLiteral("."));
    if (t.isEmpty() || t == QLatin1String("."))
        return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok); // C locale: the German separators are gone
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
}

double TextToFloat(const QString& text) {
    const std::optional<double> v = ParseNumber(text);
    if (!v)
        throw EBrvTypeConversionError(QStringLiteral("Der Wert ") + text +
                                      QStringLiteral(" ist kein gueltiger Fliesskommawert."));
    return *v;
}

double NumberOfField(const QString& text, const QString& field) {
    const std::optional<double> v = ParseNumber(text);
    if (!v)
        throw EBrvTypeConversionError(
            QStringLiteral("Das Feld \"%1\" enthält keine gültige Zahl: \"%2\".\r\nBitte geben Sie die Zahl so ein: "
                           "5500 oder 5.500 oder 5.500,25.")
                .arg(field, text.trimmed()));
    return *v;
}

bool IsFloat(const QString& text) {
    try {
        TextToFloat(text);
        return true;
    } catch (const EBrvTypeConversionError&) {
        return false;
    }
}

namespace {
QChar localeDateSeparator() {
    const QString f = QLocale().dateFormat(QLocale::ShortFormat);
    for (QChar c : f)
        if (!c.isLetter() && !c.isSpace())
            return c;
    return QLatin1Char('.');
}
} // namespace

TDateTime TextToDate(const QString& text) {
    const QString sep = QRegularExpression::escape(QString(localeDateSeparator()));
    static thread_local QString lastSep;
    static thread_local QRegularExpression re;
    if (lastSep != sep) {
        re = QRegularExpression(QStringLiteral("^\\s*(\\d{1,2})%1(\\d{1,2})%1(\\d{1,4})\\s*$").arg(sep));
        lastSep = sep;
    }
    const auto m = re.match(text);
    QDate d;
    if (m.hasMatch()) {
        int year = m.captured(3).toInt();
        if (m.captured(3).size() <= 2) { // two-digit years fall into the 50 years around today
            const int now = QDate::currentDate().year();
            year += (now / 100) * 100;
            if (year > now + 50)
                year -= 100;
        }
        d = QDate(year, m.captured(2).toInt(), m.captured(1).toInt());
    }
    if (!d.isValid())
        throw EBrvTypeConversionError(QStringLiteral("Der Wert") + text +
                                      QStringLiteral(" ist kein gueltiges Datum im Format DD.MM.YYYY"));
    return DateToTDateTime(d);
}

QString FormatDateTimeLocal(const QString& pattern, TDateTime value) {
    if (!std::isfinite(value) || std::fabs(value) > 3e6)
        return {};
    const QDateTime dt = TDateTimeToDateTime(value);
    if (!dt.isValid())
        return {};
    const QLocale loc;
    const QDate d = dt.date();
    const QTime t = dt.time();
    QString out;
    bool afterHour = false;
    const int n = int(pattern.size());
    auto run = [&](int i) {
        int j = i;
        while (j < n && pattern[j].toLower() == pattern[i].toLower())
            ++j;
        return j - i;
    };
    for (int i = 0; i < n;) {
        const QChar c = pattern[i];
        const QChar lc = c.toLower();
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            int j = int(pattern.indexOf(c, i + 1));
            if (j < 0)
                j = n;
            out += pattern.mid(i + 1, j - i - 1);
            i = j + 1;
            continue;
        }
        const int len = run(i);
        auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
        if (lc == QLatin1Char('y')) {
            out += len <= 2 ? two(d.year() % 100) : QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
        } else if (lc == QLatin1Char('m') && afterHour && len <= 2) {
            out += len == 2 ? two(t.minute()) : QString::number(t.minute());
            afterHour = false;
        } else if (lc == QLatin1Char('m')) {
            if (len >= 4)
                out += loc.monthName(d.month(), QLocale::LongFormat);
            else if (len == 3)
                out += loc.monthName(d.month(), QLocale::ShortFormat);
            else
                out += len == 2 ? two(d.month()) : QString::number(d.month());
        } else if (lc == QLatin1Char('d')) {
            if (len >= 4)
                out += loc.dayName(d.dayOfWeek(), QLocale::LongFormat);
            else if (len == 3)
                out += loc.dayName(d.dayOfWeek(), QLocale::ShortFormat);
            else
                out += len == 2 ? two(d.day()) : QString::number(d.day());
        } else if (lc == QLatin1Char('h')) {
            out += len >= 2 ? two(t.hour()) : QString::number(t.hour());
            afterHour = true;
            i += len;
            continue;
        } else if (lc == QLatin1Char('n')) {
            out += len >= 2 ? two(t.minute()) : QString::number(t.minute());
        } else if (lc == QLatin1Char('s')) {
            out += len >= 2 ? two(t.second()) : QString::number(t.second());
        } else if (lc == QLatin1Char('z')) {
            out += len >= 3 ? QStringLiteral("%1").arg(t.msec(), 3, 10, QLatin1Char('0')) : QString::number(t.msec());
        } else if (c == QLatin1Char('/')) {
            out += QString(localeDateSeparator()).repeated(len);
        } else {
            out += pattern.mid(i, len);
        }
        if (!(lc == QLatin1Char(' ') || lc == QLatin1Char(':')))
            afterHour = afterHour && (lc == QLatin1Char('h'));
        i += len;
    }
    return out;
}

QString NewGuidText() {
    return QUuid::createUuid()
        .toString(QUuid::WithBraces)
        .toUpper()
        .remove(QLatin1Char('{'))
        .remove(QLatin1Char('}'))
        .remove(QLatin1Char('-'));
}

QString ShortDateText(TDateTime dt) {
    QString fmt = QLocale().dateFormat(QLocale::ShortFormat);
    if (!fmt.contains(QLatin1String("yyyy")))
        fmt.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return QLocale().toString(TDateTimeToDate(dt), fmt);
}

QString FormatAmount(double value) {
    return QLocale().toString(value, 'f', 2);
}

QString FormatCurrency(double value) {
    // The system's currency format, with the plain blank the exports have always had before the sign.
    QString s = QLocale().toCurrencyString(value, QLocale().currencySymbol(), 2);
    s.replace(QChar(0x00A0), QLatin1Char(' '));
    return s;
}

QString FormatFixed2(double value) {
    QLocale plain;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(value, 'f', 2);
}

bool InWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return true;
    // The 27 letters and signs Windows-1252 puts in 0x80-0x9F.
    static const char32_t extra[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                     0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                     0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
    return std::find(std::begin(extra), std::end(extra), c) != std::end(extra);
}
