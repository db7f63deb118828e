#pragma once
// Small services of the building windows: the maintenance conditions, the settings lists and opening a document.

#include <QStringList>

#include <optional>

// The SettingValue texts of one setting type of TABGEBSETTINGS in their order; no list when there is none.
std::optional<QStringList> GetGebSettingValues(const QString& settingTypeId);

class TGlobalBuildingHelper {
public:
    QStringList GetAllZustandTypes() const;
    std::optional<QStringList> GetAllValuesOfType(const QString& type) const { return GetGebSettingValues(type); }
    // Opens the file with the program the desktop associates with it; false when it cannot be started. The
    // desktop's handlers hand the file on and end at once, so there is no program to wait for. Part of the
    // building windows (it needs the desktop).
    bool ExecuteProgramm(const QString& fileName) const;
};
