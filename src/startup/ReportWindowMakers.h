#pragma once

#include "workstation/ReportWindows.h"

namespace startup {

// The report windows, as the main window's menus open them.
ReportWindows reportWindowMakers();

} // namespace startup
