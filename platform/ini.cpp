#include "platform/ini.h"

#include "core/exceptions.h"

// Values are kept as the bytes of the file and decoded here, so SimpleIni converts nothing.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace platform {

struct IniProfile::Impl {
    CSimpleIniA ini{false, false, false};
};

namespace {
QString decode(const char* s) {
    if (!s)
        return {};
    const QByteArray bytes(s);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    // Files written by Windows programs are in the Western code page.
    QStringDecoder ansi("windows-1252");
    return ansi.decode(bytes);
}
} // namespace

IniProfile::IniProfile(const QString& path) : d_(std::make_unique<Impl>()), path_(path) {
    d_->ini.SetQuotes(true);  // as Windows: a value in quotes loses them
    d_->ini.SetSpaces(false); // and "KEY=value" without blanks, as Windows writes it
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = f.readAll();
    loaded_ = d_->ini.LoadData(data.constData(), size_t(data.size())) >= 0;
}

IniProfile::~IniProfile() = default;

QString IniProfile::readString(const QString& section, const QString& key, const QString& defaultValue) const {
    const QByteArray s = section.toUtf8(), k = key.toUtf8();
    const char* v = d_->ini.GetValue(s.constData(), k.constData(), nullptr);
    return v ? decode(v) : defaultValue;
}

void IniProfile::writeString(const QString& section, const QString& key, const QString& value) {
    const QByteArray s = section.toUtf8(), k = key.toUtf8(), v = value.toUtf8();
    d_->ini.SetValue(s.constData(), k.constData(), v.constData());
    std::string out;
    if (d_->ini.Save(out) < 0)
        throw Exception(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.").arg(path_));
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QFile f(path_);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(out.data(), qint64(out.size())) != qint64(out.size()))
        throw Exception(QStringLiteral("Die Datei %1 konnte nicht geschrieben werden: %2").arg(path_, f.errorString()));
}

} // namespace platform
