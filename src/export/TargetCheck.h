#pragma once

#include <QString>

// Why an export may not replace `fileName`, or an empty string when it may. The exports write
// through a temporary file that is renamed over the target, and a rename only asks the folder;
// this asks the target itself, so a folder, a device or a file the user protected against
// writing is refused as it would be by writing into it directly.
QString targetRefusal(const QString &fileName);
