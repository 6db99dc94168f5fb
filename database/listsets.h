#pragma once
// The list that a catalogue entry stands for.
#include <QString>
#include <QStringList>

namespace vrn {

// The list a catalogue entry stands for: the entry less its last 4 characters
// (".vrn"), blanks trimmed, in lower case ("" for the bare ".vrn").
QString listNameOfEntry(const QString& entry);

// The tooltip of the list of lists for its entry count: "(n) extensions...".
QString extensionsTip(int count);

}  // namespace vrn
