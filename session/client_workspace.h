#pragma once
// What the client tab of the main window runs, without widgets: the storage-folder proposal and rules, the
// validation and saving of a client, and the lock check of the client functions. Messages go through the
// platform dialogs, so the main window, the command-line tool and the tests see the same texts.

#include <QString>

#include <functional>

class QWidget;

namespace workspace {

// "Standardverzeichnis vorschlagen": the first eight characters of the firm name (A-Z lower-cased), without
// separators, blanks, ":" and "*", umlauts spelt out; "_" and the client number; below the common data folder
// unless the storage paths are relative to the backup folder.
QString ProposeStorageFolder(const QString& firma, const QString& mandantNrText, const QString& useBackupFolderDb,
                             const QString& commonFilesPath);

// What the client tab holds when "Speichern" is pressed.
struct ClientForm {
    QString mandantNr; // the text of the number field
    QString firma, name1, name2;
    QString betriebsart;
    QString sicherungspfad;
    bool mwstPflicht = true;
    // The client was created with "Mandanten hinzufügen" and has not been saved yet.
    bool isNew = false;
};

struct SaveResult {
    bool saved = false;
    int mandantNr = 0;
    // Object name of the field whose check failed (the window focuses it).
    QString focusField;
    // The storage path as trimmed in place.
    QString sicherungspfad;
};

using LogFn = std::function<void(const QString& code, const QString& text)>;

// Validates and saves the client with all messages and log lines of the client tab. sBAKFLD and
// useBackupFolderDb are the main window's backup folder and flag.
SaveResult SaveClient(const ClientForm& form, const QString& sBAKFLD, const QString& useBackupFolderDb,
                      const LogFn& log, QWidget* parent = nullptr);

// "USE_BACKUP_FOLDER_DB" of the one authoritative brenvik.ini, the common data folder's (default "0"). Raises
// Exception when the file cannot be read.
QString UseBackupFolderDbFlag();
// The client's storage folder (pictures, attachments): its path with a trailing separator, below the central
// backup folder of the database when the flag is "1".
QString ClientStorageFolder(int mandantNr, const QString& useBackupFolderDb);

// The client functions that go on only while the current user holds the client's lock.
enum class ClientFunction { Datenimport, Versicherungswertermittlung, Berichte, MandantLoeschen };

// The node the function was started on.
struct SelectedNode {
    bool present = false;
    bool isClient = false;
    int clientNr = 0;
};

// Requests the lock for the selected client; true when the current user holds it afterwards. Shows the messages
// of the refusals with the icons each function uses.
bool ClientLockCheck(ClientFunction f, const SelectedNode& node, int userNr, QWidget* parent = nullptr);

// The warning shown when another user holds the client.
QString LockedByOtherText(const QString& holder);

} // namespace workspace
