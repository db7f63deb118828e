#include "db/binrecord.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

#include <cstring>

QByteArray EncodeShortText(const QString& s) {
    QStringEncoder cp1252("windows-1252");
    QByteArray text = cp1252.encode(s.left(255));
    text.truncate(255);
    QByteArray out(kShortTextSize, '\0');
    out[0] = char(quint8(text.size()));
    std::memcpy(out.data() + 1, text.constData(), size_t(text.size()));
    return out;
}

QString DecodeShortText(const char* bytes256) {
    const int n = quint8(bytes256[0]);
    QStringDecoder cp1252("windows-1252");
    return cp1252.decode(QByteArrayView(bytes256 + 1, n));
}

QByteArray EncodeWideText(const QString& s) {
    QByteArray out(kWideTextSize, '\0');
    const qsizetype n = std::min<qsizetype>(s.size(), kWideTextUnits);
    for (qsizetype i = 0; i < n; ++i)
        qToLittleEndian(quint16(s[i].unicode()), out.data() + 2 * i);
    return out;
}

QString DecodeWideText(const char* p) {
    QString s;
    for (int i = 0; i < kWideTextUnits; ++i) {
        const auto u = qFromLittleEndian<quint16>(p + 2 * i);
        if (u == 0)
            break;
        s.append(QChar(u));
    }
    return s;
}

void PutInt32(char* p, qint32 v) {
    qToLittleEndian(v, p);
}
qint32 Int32At(const char* p) {
    return qFromLittleEndian<qint32>(p);
}
void PutDouble(char* p, double v) {
    qToLittleEndian(v, p);
}
double DoubleAt(const char* p) {
    return qFromLittleEndian<double>(p);
}

void PutBytes(QByteArray& record, int offset, const QByteArray& field) {
    Q_ASSERT(offset + field.size() <= record.size());
    std::memcpy(record.data() + offset, field.constData(), size_t(field.size()));
}
