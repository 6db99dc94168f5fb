#pragma once
// The two fixed extension tables: the common file types (offered by the set
// of common lists and searched by the common-lists scope) and the risky types
// (opening one asks the user first). Entries are lower case, without the dot.
#include <QStringList>

namespace vrn {

// The entries as the program defines them (27 and 85).
const QStringList& commonExtensionEntries();
const QStringList& riskyExtensionEntries();

// A loaded table keeps an unused slot 0 so that element i is [i].
QStringList tableFromItems(const QStringList& items);

// Exact, case-sensitive membership of a loaded table (elements 1 to upper).
bool tableContains(const QStringList& table, const QString& text);

}  // namespace vrn
