#include "building/gebhelper.h"

#include "db/dbaccess.h"

std::optional<QStringList> GetGebSettingValues(const QString& settingTypeId) {
    QStringList values;
    BrvSql q(QStringLiteral("SELECT SettingValue FROM TABGEBSETTINGS WHERE SettingTypeID = ? ORDER BY SettingOrderKey"),
             settingTypeId);
    while (q.next())
        values << q->asText(0);
    if (values.isEmpty())
        return std::nullopt;
    return values;
}

QStringList TGlobalBuildingHelper::GetAllZustandTypes() const {
    return {QStringLiteral("Nachlässige Instandhaltung"), QStringLiteral("Normale Instandhaltung"),
            QStringLiteral("Sorgfältige Instandhaltung"), QStringLiteral("Sehr sorgfältige Instandhaltung")};
}
