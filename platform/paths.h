#pragma once
// Folders, the login name and the single-instance guard of the platform.

#include <QString>

#include <functional>
#include <memory>

class QLockFile;

namespace platform {

// The trailing separator rule: appends the platform's separator unless the text already ends in one, so an
// empty text becomes a lone separator.
QString withTrailingSeparator(const QString& path);

// Folder of the program file, with a trailing separator.
QString appFolder();

// The folder that holds brenvik.ini, the embedded database and the reference files, with a trailing separator;
// created when missing. BRENVIK_DATA_DIR names it when set; otherwise it is "Brenvik" in the machine's common
// application-data folder.
QString commonFilesPath();
// The folder of a client's files from its stored storage path: an absolute path as it stands; a relative one in
// the backup folder (when the installation keeps client folders relative to it and one is set) or in the data
// folder; no path at all is the data folder. Never the root folder or the program's working folder. With a
// trailing separator.
QString resolveClientFolder(const QString& stored, bool relativeToBackupFolder, const QString& backupFolder);
// The machine's common application-data folder itself (empty when it cannot be had).
QString commonAppDataFolder();

// The login name of the user running the program, at most 79 characters; "unbekannt" when none can be read.
QString loginName();

// Numbers and dates follow the user's locale; a machine without one (the "C" locale of a bare system) gets the
// German conventions the program is made for.
void useGermanLocaleWhenUnset();
// The same for the platform's own dialogs (the dates of the file dialog): called before the application object,
// which reads the system locale once; a machine without a locale setting is taken as German.
void preferGermanSystemLocale();
// Qt's own texts (standard buttons, file dialogs, context menus) in German, as the rest of the program: Qt's
// translations of the system, else those beside the program ("translations/"). False when none can be loaded; the
// program then still runs, with those texts in English.
bool loadGermanQtTranslations();

// One running program per user log-on. The lock lives as long as the guard (and dies with the process).
class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const QString& name = QStringLiteral("Brenvik.exe"));
    ~SingleInstanceGuard();
    // False when another instance of the same log-on holds the name.
    bool acquire();

private:
    std::unique_ptr<QLockFile> lock_;
};

} // namespace platform

namespace platform {
// Blocks SIGTERM, SIGINT and SIGHUP in the calling thread and so in every thread started after it. Called first in
// main, before any thread exists (the toolkit's and the database engine's threads inherit the mask).
void blockTerminationSignals();
// Takes the three signals on a thread of its own and turns them into a call of onSignal on the event loop (when
// there is one), so that a terminated program closes in order (client locks released, database detached) instead
// of dying with them held or hanging in the engine. Without an event loop, callers poll terminationRequested().
void onTerminationSignal(const std::function<void()>& onSignal);
bool terminationRequested();
} // namespace platform
