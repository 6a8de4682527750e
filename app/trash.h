#pragma once

#include <QString>

#include "app/file_actions.h"

namespace kelvo {

// Moves a file or folder to the freedesktop Trash of its volume (the home Trash under
// $XDG_DATA_HOME/Trash, or a volume's .Trash-<uid>). A missing path is reported as missing;
// a failure leaves the file where it is and carries the system's reason.
TrashResult moveToTrash(const QString& path);

}  // namespace kelvo
