// findSoffice: where LibreOffice's command-line program is, or the empty text when it is not
// installed. First the PATH; on Windows then where LibreOffice's installer registers it (the
// shell's App Paths entry for soffice.exe, for the user and for the machine), then the usual
// folders under Program Files. On Windows the console form soffice.com beside soffice.exe is
// preferred, as it hands LibreOffice's output to the caller.
#pragma once

#include <QString>

namespace tolvar {

QString findSoffice();

}  // namespace tolvar
