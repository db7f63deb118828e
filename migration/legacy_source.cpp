#include "migration/legacy_source.h"

#include "db/brenvik_types.h"

#include <QFileInfo>
#include <QProcess>

QString LegacyTable::value(int row, const QString& name) const {
    const int c = column(name);
    if (c < 0)
        throw Exception(QStringLiteral("Die Spalte %1 ist in der Quelldatenbank nicht vorhanden.").arg(name));
    return c < rows[row].size() ? rows[row][c] : QString();
}

LegacyTable ParseMdbExport(const QByteArray& bytes) {
    const QString text = QString::fromUtf8(bytes);
    LegacyTable t;
    QStringList record;
    QString field;
    bool quoted = false, any = false;
    auto endRecord = [&] {
        record << field;
        field.clear();
        if (t.columns.isEmpty())
            t.columns = record;
        else if (!(record.size() == 1 && record[0].isEmpty()))
            t.rows << record;
        record.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        any = true;
        if (c == QLatin1Char('"'))
            quoted = true;
        else if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
        } else if (c == QLatin1Char('\n'))
            endRecord();
        else if (c != QLatin1Char('\r'))
            field += c;
    }
    if (any || !field.isEmpty() || !record.isEmpty())
        endRecord();
    return t;
}

namespace {
QByteArray runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        throw Exception(QStringLiteral("Das Programm %1 (mdbtools) konnte nicht gestartet werden.").arg(program));
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw Exception(QString::fromLocal8Bit(p.readAllStandardError()).trimmed());
    return p.readAllStandardOutput();
}
} // namespace

MdbToolsSource::MdbToolsSource(const QString& file) : file_(file) {
    if (!QFileInfo(file).isFile())
        throw Exception(QStringLiteral("Die Datei %1 wurde nicht gefunden.").arg(file));
    try {
        runTool(QStringLiteral("mdb-ver"), {file});
    } catch (const Exception& e) {
        throw Exception(QStringLiteral("Die Datei %1 ist keine MS-Access-Datenbank. %2").arg(file, e.message()));
    }
}

LegacyTable MdbToolsSource::table(const QString& name) {
    // Dates and times in a fixed form; booleans as 1 and 0.
    return ParseMdbExport(runTool(QStringLiteral("mdb-export"),
                                  {QStringLiteral("-D"), QStringLiteral("%d.%m.%Y %H:%M:%S"), QStringLiteral("-T"),
                                   QStringLiteral("%d.%m.%Y %H:%M:%S"), file_, name}));
}
