#pragma once
// The desktop's shell: opening a file or an address with the program associated with it.

#include <QString>

namespace platform {

// False when no program could be started for it.
bool shellOpen(const QString& fileOrUrl);

} // namespace platform
