#pragma once
// The database writer and the catalogue of lists, without widgets: the window
// procedures call these and then refill their controls and captions.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace vrn {

// A wait that lets window events run (Attendre); empty: no wait.
using WaitHook = std::function<void(double seconds)>;
// Offered every few records and after each deleted file, so the window can
// let its events run during a long write; empty: never.
using EventsHook = std::function<void()>;

// Replaces the list files of dbFolder: deletes every file whose name matches
// "*.vrn*" (then waits 2 s if the folder held any such entry), records source
// in der.rep, then writes extensions[1..count] / paths[1..count] (sorted by
// extension) as one list file per run of equal extensions on the list
// channel, records numbered from 1, and waits 2 s. Empty extensions form the
// bare ".vrn" list; an extension holding "/" names no file and its run is
// left out.
void writeListFiles(const QString& dbFolder, const QString& source, const std::vector<QByteArray>& extensions,
                    const std::vector<QByteArray>& paths, qint64 count, const WaitHook& wait,
                    const EventsHook& letEventsRun = {});

// Deletes the bare ".vrn" list when it is there, then waits 1 s.
void deleteBareList(const QString& dbFolder, const WaitHook& wait);

// The list files of a folder as its file-list control shows them: regular
// files named "*.vrn" (any case), alphabetical ignoring case.
QStringList catalogueFiles(const QString& dbFolder);

// List names of catalogue entries: each less its last 4 characters, the empty
// names (the bare ".vrn") left out.
QStringList listNames(const QStringList& files);

// Total whole records of the given list files (read on the list channel).
qint64 countDatabaseRecords(const QString& dbFolder, const QStringList& files);

}  // namespace vrn
