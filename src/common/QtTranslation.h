#pragma once

class QLocale;

// Qt's own texts (a box's right-click menu, the print dialog and preview, file dialogs) in the
// program's language: Simplified Chinese, or the user's own Chinese where Qt has it. Loaded
// from where Qt keeps its translations; returns whether one was found.
bool installQtTranslation(const QLocale& userLocale);
