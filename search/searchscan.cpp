#include "search/searchscan.h"

#include <QVarLengthArray>
#include <cstring>

#include "database/dbfolder.h"
#include "platform/pathcodec.h"
#include "platform/recordfile.h"
#include "support/VariablesVRN.h"

namespace vrn {

namespace {
constexpr int kCommonScopeSize = 27;

bool isAscii(const QString& s) {
  for (QChar c : s)
    if (c.unicode() >= 0x80) return false;
  return true;
}
}  // namespace

QString listFileOf(const QString& listName) { return listFilePath(listName); }

QStringList commonScopeFiles(const QStringList& commonTable) {
  QStringList files;
  for (int i = 1; i <= kCommonScopeSize; ++i) {
    const QString name = tableAt(commonTable, i);
    if (!name.isEmpty()) files << listFileOf(name);
  }
  return files;
}

qint64 listRecordCount(const QString& listFile) {
  RecordFile file;
  if (!file.open(listFile, kRecFichier, false)) return 0;
  return file.recordCount();
}

QString searchCriterion(const QString& typed) { return trimBlanks(typed).toLower(); }

CriterionMatcher::CriterionMatcher(const QString& criterion) : criterion_(criterion) {
  criterionIsAscii_ = isAscii(criterion_);
  if (criterionIsAscii_) asciiCriterion_ = criterion_.toLatin1();
}

bool CriterionMatcher::matches(QByteArrayView path) const {
  // One pass lowers the bytes and finds out whether they are plain ASCII.
  QVarLengthArray<char, 512> lowered(path.size());
  bool ascii = true;
  for (qsizetype i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c >= 0x80) {
      ascii = false;
      break;
    }
    lowered[i] = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : char(c);
  }
  if (ascii) {
    // Lower-casing ASCII text gives ASCII text: a criterion with other
    // characters cannot be in it.
    if (!criterionIsAscii_) return false;
    if (asciiCriterion_.isEmpty()) return true;
    return ::memmem(lowered.constData(), size_t(path.size()), asciiCriterion_.constData(),
                    size_t(asciiCriterion_.size())) != nullptr;
  }
  // Other characters can lower-case to ASCII ones (the Kelvin sign gives "k").
  return decodePath(path.data(), path.size()).toLower().contains(criterion_);
}

}  // namespace vrn
