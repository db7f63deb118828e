#pragma once
// An ini profile read and written the way Windows does it: values raw (backslashes and quotes inside the value
// untouched), section and key names without regard to case, defaults for whatever is missing.

#include <QString>

#include <memory>

namespace platform {

class IniProfile {
public:
    explicit IniProfile(const QString& path);
    ~IniProfile();
    IniProfile(const IniProfile&) = delete;
    IniProfile& operator=(const IniProfile&) = delete;

    const QString& path() const { return path_; }
    // True when the file exists and could be parsed.
    bool loaded() const { return loaded_; }
    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Writes the value and saves the file at once; raises Exception with a German message when it cannot.
    void writeString(const QString& section, const QString& key, const QString& value);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    QString path_;
    bool loaded_ = false;
};

} // namespace platform
