#pragma once
// The scan's sort: a quicksort of the extensions that moves the paths in step,
// so that each extension's files end up as one run of consecutive slots.
#include <QByteArray>
#include <vector>

namespace vrn {

// Ordinal order of two stored texts (UTF-8 bytes, undecodable bytes kept raw)
// by the 16-bit character codes of their decoded text: <0, 0 or >0. An empty
// text comes before every other one.
int compareOrdinal(const QByteArray& a, const QByteArray& b);

// Sorts tableau[gauche..droite] (indexes from 1), ascending when ordre is
// true, and exchanges the slots of compagnon at the same indexes whenever it
// exchanges two slots of tableau. Middle pivot, strict comparisons, equal
// values exchanged; not stable. Returns false, touching nothing, when the
// range lies outside either array (the caller decides what that means).
// The result is that of the passes made one exchange at a time, but reached
// faster: both arrays may end in new storage of the same length.
bool TriRapide(qint64 gauche, qint64 droite, std::vector<QByteArray>& tableau, bool ordre,
               std::vector<QByteArray>& compagnon);

// Same, moving the shared TabChemins in step.
bool TriRapide(qint64 gauche, qint64 droite, std::vector<QByteArray>& tableau, bool ordre);

}  // namespace vrn
