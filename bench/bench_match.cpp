// varnelo-bench match DBDIR WORD [WORKERS]: the reading and matching half of
// a search alone, without the window: every list file of DBDIR (in name
// order) read and matched by the search's reader (with WORKERS threads, by
// default as many as a search uses), its hits counted. Prints
// records=N found=F seconds=S; the yardstick is `grep -F -i -c WORD` over the
// same records written one per line, padding blanks stripped.
#include <QDir>
#include <cstdio>

#include "bench/bench.h"
#include "search/searchscan.h"

namespace vrn::bench {
namespace {

int run(const QStringList& args) {
  if (args.size() != 2 && args.size() != 3) {
    std::fprintf(stderr, "usage: varnelo-bench match DBDIR WORD [WORKERS]\n");
    return 2;
  }
  const QDir db(args[0]);
  QStringList files;
  for (const QString& name : db.entryList({"*.vrn"}, QDir::Files | QDir::Hidden, QDir::Name))
    files << db.absoluteFilePath(name);
  if (files.isEmpty()) {
    std::fprintf(stderr, "no list file in %s\n", qPrintable(args[0]));
    return 2;
  }
  const double start = now();
  ScopeReader reader(files, searchCriterion(args[1]), args.size() == 3 ? args[2].toInt() : 0);
  ScopeReader::Piece piece;
  long long records = 0, found = 0;
  while (reader.next(piece, 1000000000)) {
    records += piece.last - piece.first + 1;
    found += qsizetype(piece.hits.size());
  }
  const double seconds = now() - start;
  // Written without the C locale's decimal comma (the application sets it).
  std::printf("records=%lld found=%lld seconds=%s\n", records, found, QByteArray::number(seconds, 'f', 3).constData());
  return records > 0 ? 0 : 1;
}

Registration registration("match", "DBDIR WORD [WORKERS]", run);

}  // namespace
}  // namespace vrn::bench
