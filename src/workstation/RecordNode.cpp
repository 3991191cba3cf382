#include "workstation/RecordNode.h"

#include <QStringBuilder>

namespace recordnode {

QString text(const QString& name, const QString& key)
{
    return name % QLatin1Char('[') % key % QLatin1Char(']');
}

QString key(const QString& text)
{
    return text.size() > KeyLength ? text.mid(text.size() - KeyLength - 1, KeyLength) : QString();
}

} // namespace recordnode
