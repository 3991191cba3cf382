#include "startup/ReportWindowMakers.h"

#include "reports/OutpatientLogWindow.h"
#include "reports/StatisticsWindow.h"

namespace startup {

ReportWindows reportWindowMakers()
{
    return {
        [](store::Store& store) -> QWidget* { return new StatisticsWindow(store); },
        [](store::Store& store, CurrentSettings& settings) -> QWidget* { return new OutpatientLogWindow(store, settings); },
    };
}

} // namespace startup
