#include "support/touslesdossierssystem.h"

#include <QDir>
#include <QStandardPaths>
#include <sys/stat.h>

#include "platform/pathcodec.h"

namespace vrn {

const std::array<qint32, 52> TabDossiersSpeciaux = {
    48, 29, 26, 10, 47, 30, 35, 25, 46, 31, 23, 22, 24, 45, 3,  33, 0, 16, 17, 6,  -32768, 16384, -256, 20, 34, 1,
    32, 28, 39, 13, 14, 59, 19, 18, 5,  4,  27, 40, 38, 43, 44, 42, 2, 8,  9,  21, 11,     7,     37,   41, 21, 36};

namespace {

enum class Place {
  None,  // a virtual folder or one with no counterpart
  Home,
  Desktop,
  Documents,
  Pictures,
  Music,
  Videos,
  Templates,
  PublicShare,
  ConfigHome,  // application data
  DataHome,    // local application data
  CacheHome,
  Fonts,
  Trash,
  Autostart,     // the user's start-up programs
  Applications,  // the user's start menu
  SystemAutostart,
  SystemApplications,
  UsrBin,    // program files
  UsrLib,    // system and shared components
  UsrShare,  // data common to all users
  Etc,       // the system's own folder
};

struct Entry {
  qint32 csidl;
  Place place;
};

// One row per identifier of the offer; the x86 variants are the same folders
// as on the 32-bit system the identifiers come from.
constexpr Entry kTable[] = {
    {0, Place::Desktop},              // desktop
    {1, Place::None},                 // internet
    {2, Place::Applications},         // programs
    {3, Place::None},                 // control panel
    {4, Place::None},                 // printers
    {5, Place::Documents},            // personal
    {6, Place::None},                 // favorites
    {7, Place::Autostart},            // startup
    {8, Place::None},                 // recent (a file here, not a folder)
    {9, Place::None},                 // send to
    {10, Place::Trash},               // recycle bin
    {11, Place::Applications},        // start menu
    {13, Place::Music},               // my music
    {14, Place::Videos},              // my video
    {16, Place::Desktop},             // desktop directory
    {17, Place::None},                // my computer
    {18, Place::None},                // network
    {19, Place::None},                // nethood
    {20, Place::Fonts},               // fonts
    {21, Place::Templates},           // templates
    {22, Place::SystemApplications},  // common start menu
    {23, Place::SystemApplications},  // common programs
    {24, Place::SystemAutostart},     // common startup
    {25, Place::None},                // common desktop directory
    {26, Place::ConfigHome},          // application data
    {27, Place::None},                // printhood
    {28, Place::DataHome},            // local application data
    {29, Place::Autostart},           // alternate startup
    {30, Place::SystemAutostart},     // common alternate startup
    {31, Place::None},                // common favorites
    {32, Place::CacheHome},           // internet cache
    {33, Place::None},                // cookies
    {34, Place::None},                // history
    {35, Place::UsrShare},            // common application data
    {36, Place::Etc},                 // windows
    {37, Place::UsrLib},              // system
    {38, Place::UsrBin},              // program files
    {39, Place::Pictures},            // my pictures
    {40, Place::Home},                // profile
    {41, Place::UsrLib},              // system x86
    {42, Place::UsrBin},              // program files x86
    {43, Place::UsrLib},              // program files common
    {44, Place::UsrLib},              // program files common x86
    {45, Place::None},                // common templates
    {46, Place::PublicShare},         // common documents
    {47, Place::None},                // common administrative tools
    {48, Place::None},                // administrative tools
    {59, Place::None},                // CD burning area
};

QString xdgHome(const char* variable, const QString& fallback) {
  const QString value = qEnvironmentVariable(variable);
  // The XDG rules ignore a relative path.
  return value.startsWith(u'/') ? value : QDir::homePath() + fallback;
}

QString pathOf(Place place) {
  using SP = QStandardPaths;
  switch (place) {
    case Place::None:
      return QString();
    case Place::Home:
      return QDir::homePath();
    case Place::Desktop:
      return SP::writableLocation(SP::DesktopLocation);
    case Place::Documents:
      return SP::writableLocation(SP::DocumentsLocation);
    case Place::Pictures:
      return SP::writableLocation(SP::PicturesLocation);
    case Place::Music:
      return SP::writableLocation(SP::MusicLocation);
    case Place::Videos:
      return SP::writableLocation(SP::MoviesLocation);
    case Place::Templates:
      return SP::writableLocation(SP::TemplatesLocation);
    case Place::PublicShare:
      return SP::writableLocation(SP::PublicShareLocation);
    case Place::ConfigHome:
      return xdgHome("XDG_CONFIG_HOME", "/.config");
    case Place::DataHome:
      return xdgHome("XDG_DATA_HOME", "/.local/share");
    case Place::CacheHome:
      return xdgHome("XDG_CACHE_HOME", "/.cache");
    case Place::Fonts:
      return xdgHome("XDG_DATA_HOME", "/.local/share") + "/fonts";
    case Place::Trash:
      return xdgHome("XDG_DATA_HOME", "/.local/share") + "/Trash";
    case Place::Autostart:
      return xdgHome("XDG_CONFIG_HOME", "/.config") + "/autostart";
    case Place::Applications:
      return xdgHome("XDG_DATA_HOME", "/.local/share") + "/applications";
    case Place::SystemAutostart:
      return QStringLiteral("/etc/xdg/autostart");
    case Place::SystemApplications:
      return QStringLiteral("/usr/share/applications");
    case Place::UsrBin:
      return QStringLiteral("/usr/bin");
    case Place::UsrLib:
      return QStringLiteral("/usr/lib");
    case Place::UsrShare:
      return QStringLiteral("/usr/share");
    case Place::Etc:
      return QStringLiteral("/etc");
  }
  return QString();
}

bool isFolder(const QString& path) {
  struct stat st;
  return stat(encodePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

QString CheminDossierSpecial(const qint32& csidl) {
  // The shell ignores the flag bits of an identifier (create, don't verify).
  const qint32 folder = csidl & 0xFF;
  const Entry* entry = nullptr;
  for (const Entry& e : kTable)
    if (e.csidl == folder) entry = &e;
  if (!entry) return QString();
  if (entry->place == Place::None) return QStringLiteral("/");
  QString path = pathOf(entry->place);
  if (path.isEmpty()) return QString();
  path = QDir::cleanPath(path);
  // As the shell does, a folder that is not there is not found.
  if (!isFolder(path)) return QString();
  if (!path.endsWith(u'/')) path += u'/';
  return path;
}

}  // namespace vrn
