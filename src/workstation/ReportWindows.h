#pragma once

#include <functional>

class CurrentSettings;
class QWidget;

namespace store {
class Store;
}

// The statistics and the outpatient log belong to the reports, which stand beside the
// workstation, not below it; so the main window does not make them itself but is handed these
// makers by start-up. The window made is shown without a parent and deletes itself on close.
struct ReportWindows {
    std::function<QWidget*(store::Store&)> statistics;
    std::function<QWidget*(store::Store&, CurrentSettings&)> outpatientLog;
};
