#include "database/extensiontables.h"

#include "support/VariablesVRN.h"

namespace vrn {

const QStringList& commonExtensionEntries() {
  static const QStringList entries = {"aac", "avi",  "bmp", "doc", "flv",     "gif", "gz",  "htm", "html",
                                      "jpe", "jpeg", "jpg", "mkv", "mov",     "mp3", "pdf", "png", "pps",
                                      "ppt", "rar",  "swf", "tar", "torrent", "txt", "wav", "xls", "zip"};
  return entries;
}

const QStringList& riskyExtensionEntries() {
  static const QStringList entries = {
      "ade",  "adp",     "app",  "asa",     "ashx", "asmx", "asp", "bas", "bat",  "cdx",   "cer",  "class", "cmd",
      "com",  "config",  "cpl",  "crt",     "csh",  "dll",  "exe", "fxp", "hta",  "htr",   "htw",  "ida",   "idc",
      "idq",  "ins",     "isp",  "its",     "jse",  "ksh",  "lnk", "mad", "maf",  "mag",   "mam",  "maq",   "mar",
      "mas",  "mat",     "mau",  "mav",     "maw",  "mda",  "mdb", "mde", "mdt",  "mdw",   "mdz",  "msc",   "msh",
      "msh1", "msh1xml", "msh2", "msh2xml", "msi",  "msp",  "mst", "ops", "pcd",  "pif",   "prf",  "prg",   "printer",
      "pst",  "reg",     "rem",  "scf",     "scr",  "sct",  "shb", "shs", "shtm", "shtml", "soap", "stm",   "url",
      "vb",   "vbe",     "vbs",  "ws",      "wsc",  "wsf",  "wsh"};
  return entries;
}

QStringList tableFromItems(const QStringList& items) {
  QStringList table;
  table.reserve(items.size() + 1);
  table.append(QString());
  table.append(items);
  return table;
}

bool tableContains(const QStringList& table, const QString& text) {
  for (qsizetype i = 1; i <= tableUpper(table); ++i)
    if (table[i] == text) return true;
  return false;
}

}  // namespace vrn
