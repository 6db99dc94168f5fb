#include "database/optionsfile.h"

#include "database/dbfolder.h"
#include "platform/recordfile.h"

namespace vrn {

namespace {
const QString kAffp = QStringLiteral("affp.aff");
}

QByteArray defaultOptionsRecord() {
  return QByteArray("0") + QByteArray(10, '1') + QByteArray("011") + QByteArray(16, '0');
}

QByteArray optionsRecord(const std::array<QString, kNbOptions + 1>& par) {
  QByteArray record;
  record.reserve(kEnregAffichage);
  for (int k = 1; k <= kNbOptions; ++k) {
    const QString& text = par[size_t(k)];
    // Flags are one byte each: a character read from the file comes back as
    // the same byte; anything wider cannot be kept and reads as "not 1".
    record += text.isEmpty() ? ' ' : QString(text.front()).toLatin1().at(0);
  }
  record += QByteArray(kEnregAffichage - kNbOptions, '0');
  return record;
}

QString flagText(const QByteArray& record, int k) {
  if (k < 1 || k > record.size()) return QString(QChar(0));
  return QString(QChar(uchar(record[k - 1])));
}

std::optional<QByteArray> readOptionsRecord() {
  RecordFile& file = fileChannel(kOptionsChannel);
  file.close();
  if (!file.open(databaseFile(kAffp), kEnregAffichage, true)) return std::nullopt;
  const QByteArray record = file.read(1);
  file.close();
  return record;
}

bool writeOptionsRecord(const QByteArray& record) {
  RecordFile& file = fileChannel(kOptionsChannel);
  file.close();
  if (!file.open(databaseFile(kAffp), kEnregAffichage, true)) return false;
  const bool ok = file.write(1, record) && file.flush();
  file.close();
  return ok;
}

}  // namespace vrn
