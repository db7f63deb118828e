#pragma once
// Files written whole or not at all: the content goes to a temporary file beside the target and is renamed over
// it only when complete, so a full disk, a read-only target or a failing writer leave the old file as it was.

#include <QByteArray>
#include <QString>

namespace platform {

// Writes bytes to path. Returns the empty text on success, else the German reason (the old file is unchanged and
// no temporary file is left behind).
QString WriteFileAtomically(const QString& path, const QByteArray& bytes);

// For writers that need a file name of their own (the PDF writer): a free temporary name in the target's folder,
// and the rename of the finished temporary file over the target. ReplaceFile returns the German reason when the
// temporary file is missing (or empty where content is required) or cannot replace the target, and removes the
// temporary file in every case.
QString TemporarySibling(const QString& path);
QString ReplaceFile(const QString& temporary, const QString& path, bool mustHaveContent = true);

// A file the user marked read-only is never replaced, whoever runs the program.
bool IsMarkedReadOnly(const QString& path);

} // namespace platform
