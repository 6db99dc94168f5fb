#include "platform/registry_xdg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include "platform/pathcodec.h"

namespace vrn {

namespace {

constexpr quint32 kCurrentUser = 0x80000001u;
constexpr quint32 kLocalMachine = 0x80000002u;

// Key paths compare as the registry does: case ignored, either separator.
QString normalKey(const QString& key) {
  QString k = key;
  k.replace(u'/', u'\\');
  while (k.startsWith(u'\\')) k.remove(0, 1);
  while (k.endsWith(u'\\')) k.chop(1);
  return k.toLower();
}

bool isAutostartValue(quint32 root, const QString& key, const QString& name) {
  return (root == kLocalMachine || root == kCurrentUser) &&
         normalKey(key) == QLatin1String("software\\microsoft\\windows\\currentversion\\run") &&
         name.compare(QLatin1String("Varnelo"), Qt::CaseInsensitive) == 0;
}

bool isDocumentsValue(quint32 root, const QString& key, const QString& name) {
  const QString k = normalKey(key);
  return root == kCurrentUser &&
         (k == QLatin1String("software\\microsoft\\windows\\currentversion\\explorer\\shell folders") ||
          k == QLatin1String("software\\microsoft\\windows\\currentversion\\explorer\\user shell folders")) &&
         name.compare(QLatin1String("Personal"), Qt::CaseInsensitive) == 0;
}

QString configHome() {
  const QString value = qEnvironmentVariable("XDG_CONFIG_HOME");
  return value.startsWith(u'/') ? value : QDir::homePath() + QStringLiteral("/.config");
}

QString rootName(quint32 root) {
  switch (root) {
    case 0x80000000u:
      return QStringLiteral("HKEY_CLASSES_ROOT");
    case kCurrentUser:
      return QStringLiteral("HKEY_CURRENT_USER");
    case kLocalMachine:
      return QStringLiteral("HKEY_LOCAL_MACHINE");
    case 0x80000003u:
      return QStringLiteral("HKEY_USERS");
    default:
      return QStringLiteral("0x") + QString::number(root, 16);
  }
}

// QSettings takes "\" and "/" as group separators; the value name is kept whole.
QString settingsKey(quint32 root, const QString& key, const QString& name) {
  QString k = key;
  k.replace(u'\\', u'/');
  QString n = name;
  n.replace(u'\\', u'_').replace(u'/', u'_');
  return rootName(root) + u'/' + k + u'/' + (n.isEmpty() ? QStringLiteral("@") : n);
}

QString iniStorePath() { return configHome() + QStringLiteral("/Varnelo/registre.ini"); }

// The program named by the value's data: "<folder>/Varnelo" in quotes.
QByteArray programOf(const QString& data) {
  QString d = data.trimmed();
  if (d.size() >= 2 && d.startsWith(u'"') && d.endsWith(u'"')) d = d.mid(1, d.size() - 2);
  return encodePath(d);
}

}  // namespace

QString autostartEntryPath() { return configHome() + QStringLiteral("/autostart/Varnelo.desktop"); }

QByteArray desktopExecValue(const QByteArray& program) {
  // The command line: one argument in double quotes, with the four characters
  // the quoting rules reserve escaped; "%" doubled so no field code is read.
  QByteArray line = "\"";
  for (char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') line += '\\';
    if (c == '%') line += '%';
    line += c;
  }
  line += '"';
  // GLib looks for the program named first before it undoes "%%", so such a
  // program is started through env, which it finds.
  if (program.contains('%')) line.prepend("env ");
  // Then the escapes of a string value of the key file.
  QByteArray value;
  value.reserve(line.size() + 8);
  for (char c : line) {
    switch (c) {
      case '\\':
        value += "\\\\";
        break;
      case '\n':
        value += "\\n";
        break;
      case '\t':
        value += "\\t";
        break;
      case '\r':
        value += "\\r";
        break;
      default:
        value += c;
        break;
    }
  }
  return value;
}

QByteArray parseDesktopExecValue(const QByteArray& value) {
  QByteArray line;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      const char e = value[++i];
      line += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == 's' ? ' ' : e;
    } else {
      line += c;
    }
  }
  QList<QByteArray> args(1);
  bool quoted = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '%' && i + 1 < line.size() && line[i + 1] == '%') {
      args.back() += '%';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (quoted && c == '\\' && i + 1 < line.size()) {
      args.back() += line[++i];
    } else if (!quoted && c == ' ') {
      if (!args.back().isEmpty()) args.append(QByteArray());
    } else {
      args.back() += c;
    }
  }
  return args.size() > 1 && args[0] == "env" ? args[1] : args[0];
}

void XdgRegistry::writeValue(quint32 root, const QString& key, const QString& name, const QString& data) {
  if (isAutostartValue(root, key, name)) {
    const QString path = autostartEntryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Varnelo\n"
        "Comment=Catalogue des fichiers par extension\n"
        "Exec=" +
        desktopExecValue(programOf(data)) +
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n");
    file.commit();
    return;
  }
  QSettings store(iniStorePath(), QSettings::IniFormat);
  store.setValue(settingsKey(root, key, name), data);
}

void XdgRegistry::deleteValue(quint32 root, const QString& key, const QString& name) {
  if (isAutostartValue(root, key, name)) {
    QFile::remove(autostartEntryPath());
    return;
  }
  QSettings store(iniStorePath(), QSettings::IniFormat);
  const QString k = settingsKey(root, key, name);
  if (store.contains(k)) store.remove(k);
}

QString XdgRegistry::readValue(quint32 root, const QString& key, const QString& name) {
  if (isDocumentsValue(root, key, name)) return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (isAutostartValue(root, key, name)) {
    QFile file(autostartEntryPath());
    if (!file.open(QIODevice::ReadOnly)) return QString();
    while (!file.atEnd()) {
      const QByteArray line = file.readLine().trimmed();
      if (line.startsWith("Exec=")) return u'"' + decodePath(parseDesktopExecValue(line.mid(5))) + u'"';
    }
    return QString();
  }
  QSettings store(iniStorePath(), QSettings::IniFormat);
  return store.value(settingsKey(root, key, name)).toString();
}

}  // namespace vrn
