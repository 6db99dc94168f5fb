#pragma once
// Settings and figures of the list loader (Main2::AfficherListeExtension)
// that tests and the benchmark reach.
#include <QByteArray>
#include <QString>

namespace vrn {

// Milliseconds of loading between two turns of the event loop (and two
// refreshes of the progress label). Tests set 0: a turn after every record.
int& listLoadEventSliceMs();

// Longest time between two turns of the event loop during the record loop
// of the last load, in milliseconds.
qint64 lastListLoadLongestGapMs();

// The path a list record holds: blanks trimmed, and nothing from a zero
// byte on (no path contains one; a damaged record must not name a shorter
// path that exists).
QString recordPath(const QByteArray& record);

}  // namespace vrn
