#pragma once

#include <QString>
#include <functional>

// Runs work on a thread of its own and returns when it is done, showing a busy dialog with the
// text once it has taken longer than a moment. Meanwhile the user cannot reach any window, so
// the work may use what the windows would otherwise use, as long as nothing else does.
void runWithProgress(const QString& text, const std::function<void()>& work, int showAfterMs = 100);
