#include "common/Log.h"

Q_LOGGING_CATEGORY(lcStore, "qarvel.store")
Q_LOGGING_CATEGORY(lcStartup, "qarvel.startup")
Q_LOGGING_CATEGORY(lcWorkstation, "qarvel.workstation")
Q_LOGGING_CATEGORY(lcPrinting, "qarvel.printing")
Q_LOGGING_CATEGORY(lcDictionaries, "qarvel.dictionaries")
Q_LOGGING_CATEGORY(lcSettings, "qarvel.settings")
Q_LOGGING_CATEGORY(lcReports, "qarvel.reports")
