#pragma once

#include <QCollator>
#include <QString>

namespace kelmo {

// The order a Russian reader expects of names in a list: by the alphabet whatever the case,
// «Ё» with «Е», and numbers by value («2-й» before «10-й»). Databases do not give it: SQLite
// compares code points, a server the collation its database was made with.
class NameOrder final {
public:
    NameOrder();
    bool operator()(const QString& a, const QString& b) const;

private:
    QCollator m_collator;
};

} // namespace kelmo
