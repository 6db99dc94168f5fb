#pragma once
// Settings and figures of the search engine (Main2::RechercherParCritere)
// that tests and the benchmark reach.
#include <QtGlobal>

namespace vrn {

// Milliseconds of searching between two turns of the event loop (and two
// refreshes of the bar, the percentage and the running count). Tests set 0:
// a turn after every record.
int& searchEventSliceMs();

// Longest time between two turns of the event loop during the record loop
// of the last search, in milliseconds.
qint64 lastSearchLongestGapMs();

}  // namespace vrn
