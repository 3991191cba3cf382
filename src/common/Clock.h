#pragma once

#include <QDateTime>
#include <functional>

// The program's one source of "now". Tests pin it so that record keys, backup days and
// date defaults do not depend on when the tests run.
namespace Clock {

QDateTime now();
inline QDate today() { return now().date(); }

// Replaces the system clock until reset (an empty function restores it).
void setSource(std::function<QDateTime()> source);

} // namespace Clock
