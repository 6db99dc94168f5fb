#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/pathcodec.h"
#include "support/IconeF.h"
#include "support/ModeFileInfoVRN.h"
#include "support/Module.h"
#include "support/formats.h"

using namespace vrn;

namespace {

class FileFacts : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    // The name and extension rules look at the whole path: keep dots out of it.
    ASSERT_FALSE(dir_.path().contains(u'.')) << dir_.path().toStdString();
  }

  QString path(const QString& name) const { return dir_.path() + u'/' + name; }

  // A file of size bytes, written out (so not sparse) unless sparse is asked.
  QString makeFile(const QString& name, qint64 size = 0, bool sparse = false) const {
    const QString p = path(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << p.toStdString();
    if (sparse) {
      EXPECT_TRUE(f.resize(size));
    } else if (size > 0) {
      EXPECT_EQ(f.write(QByteArray(size, 'x')), size);
    }
    EXPECT_TRUE(f.flush());
    return p;
  }

  static void setTimes(const QString& p, qint64 access, qint64 write) {
    const timespec times[2] = {{time_t(access), 0}, {time_t(write), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, encodePath(p).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
  }

  static qint64 local(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime).toSecsSinceEpoch();
  }

  static bool recordsBirth(const QString& p) {
    struct statx st;
    return statx(AT_FDCWD, encodePath(p).constData(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &st) == 0 &&
           (st.stx_mask & STATX_BTIME);
  }

  QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/facts-XXXXXX")};
};

TEST_F(FileFacts, NameAndExtensionComeFromTheWholePath) {
  const QString readme = makeFile(QStringLiteral("a.b/readme"));
  InfoFichier info = LireInfoFichier(readme);
  EXPECT_TRUE(info.Existe);
  EXPECT_EQ(info.CheminComplet, readme);
  EXPECT_EQ(info.Nom, QStringLiteral("readme"));
  EXPECT_EQ(info.Extension, QStringLiteral("b/readme"));  // the dot of the folder counts

  const QString both = makeFile(QStringLiteral("v1.2/archive.tar.gz"));
  info = LireInfoFichier(both);
  EXPECT_EQ(info.Nom, QStringLiteral("archive.tar.gz"));
  EXPECT_EQ(info.Extension, QStringLiteral("gz"));

  const QString plain = makeFile(QStringLiteral("Makefile"));
  info = LireInfoFichier(plain);
  EXPECT_EQ(info.Nom, QStringLiteral("Makefile"));
  EXPECT_EQ(info.Extension, QString());

  // A relative name without any "/" has no name, but is still found.
  makeFile(QStringLiteral("notes.txt"), 3);
  const QString before = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(dir_.path()));
  info = LireInfoFichier(QStringLiteral("notes.txt"));
  QDir::setCurrent(before);
  EXPECT_TRUE(info.Existe);
  EXPECT_EQ(info.Nom, QString());
  EXPECT_EQ(info.Extension, QStringLiteral("txt"));
  EXPECT_EQ(info.Taille, QStringLiteral("3"));
}

TEST_F(FileFacts, EmptyFileHasNoSizeTextButDatesAndAttributes) {
  const QString p = makeFile(QStringLiteral("empty.dat"));
  const InfoFichier info = LireInfoFichier(p);
  ASSERT_TRUE(info.Existe);
  EXPECT_EQ(info.Taille, QString());
  EXPECT_FALSE(info.DateAcces.isEmpty());
  EXPECT_FALSE(info.DateModification.isEmpty());
  EXPECT_EQ(info.Attributs, QStringLiteral("A"));
  // The birth date is shown exactly where the file system keeps one.
  EXPECT_EQ(info.DateCreation.isEmpty(), !recordsBirth(p));
}

TEST_F(FileFacts, LargeSparseFileSizeIsGroupedByThree) {
  const QString p = makeFile(QStringLiteral("big.img"), 5368709120LL, true);
  const InfoFichier info = LireInfoFichier(p);
  const QString g = QLocale::system().groupSeparator();
  EXPECT_EQ(info.Taille, QStringLiteral("5") + g + "368" + g + "709" + g + "120");
  EXPECT_EQ(info.Attributs, QStringLiteral("S-FA"));  // sparse and regular
}

TEST_F(FileFacts, DatesAreLocalWithSecondsAndMidnightShowsTheDateAlone) {
  ASSERT_EQ(QLocale::system().name(), QStringLiteral("fr_FR")) << "tests run with LC_ALL=fr_FR.UTF-8";
  const QString p = makeFile(QStringLiteral("dated.txt"), 10);
  setTimes(p, local(2008, 12, 25, 14, 3, 7), local(2009, 1, 2, 0, 0, 0));
  InfoFichier info = LireInfoFichier(p);
  EXPECT_EQ(info.DateAcces, QStringLiteral("25/12/2008 14:03:07"));
  EXPECT_EQ(info.DateModification, QStringLiteral("02/01/2009"));

  // One second after midnight is no longer midnight.
  setTimes(p, local(1999, 7, 4, 9, 5, 0), local(2009, 1, 2, 0, 0, 1));
  info = LireInfoFichier(p);
  EXPECT_EQ(info.DateAcces, QStringLiteral("04/07/1999 09:05:00"));
  EXPECT_EQ(info.DateModification, QStringLiteral("02/01/2009 00:00:01"));

  EXPECT_EQ(DateFichier(FileTime{}), QString());
}

TEST(FileDates, LocalOffsetFollowsEveryChangeOfTheZone) {
  const QByteArray oldTz = qgetenv("TZ");
  qputenv("TZ", "Europe/Paris");
  tzset();
  localZoneChanged();
  // Summer time begins at 01:00 UTC: the clock jumps from 01:59:59 to 03:00:00.
  EXPECT_EQ(DateFichier({1553993999, true}), QStringLiteral("31/03/2019 01:59:59"));
  EXPECT_EQ(DateFichier({1553994000, true}), QStringLiteral("31/03/2019 03:00:00"));
  EXPECT_EQ(DateFichier({1564000000, true}), QStringLiteral("24/07/2019 22:26:40"));
  // In 1911 Paris left its mean time (+0:09:21) at an odd second, inside a
  // quarter hour: both sides of the change still come out right.
  EXPECT_EQ(DateFichier({-1855958962, true}), QStringLiteral("10/03/1911 23:59:59"));
  EXPECT_EQ(DateFichier({-1855958961, true}), QStringLiteral("10/03/1911 23:50:39"));
  if (oldTz.isNull()) qunsetenv("TZ");
  else qputenv("TZ", oldTz);
  tzset();
  localZoneChanged();
}

// What localtime_r gives for t, written as the French short date and time.
QString localTimeText(qint64 t) {
  const time_t tt = time_t(t);
  tm parts{};
  localtime_r(&tt, &parts);
  QString text = QString::asprintf("%02d/%02d/%04d", parts.tm_mday, parts.tm_mon + 1, parts.tm_year + 1900);
  if (parts.tm_hour || parts.tm_min || parts.tm_sec)
    text += QString::asprintf(" %02d:%02d:%02d", parts.tm_hour, parts.tm_min, parts.tm_sec);
  return text;
}

// Zones that change their offset and change it back within a few days: every
// instant of those days (each quarter hour, and the seconds around each
// change) comes out as localtime_r says.
TEST(FileDates, ZonesThatChangeAndChangeBackWithinDays) {
  ASSERT_EQ(QLocale::system().name(), QStringLiteral("fr_FR")) << "tests run with LC_ALL=fr_FR.UTF-8";
  const QByteArray oldTz = qgetenv("TZ");
  struct Case {
    const char* zone;
    int year, month, day;  // a few days before the first change
    int days;
  };
  const Case cases[] = {{"Europe/Vienna", 1945, 3, 30, 16},
                        {"Asia/Gaza", 2054, 3, 25, 12},
                        {"Asia/Hebron", 2072, 10, 19, 12},
                        {"Africa/Tunis", 1943, 4, 14, 14},
                        {"Africa/Freetown", 1939, 8, 29, 10}};
  for (const Case& c : cases) {
    qputenv("TZ", c.zone);
    tzset();
    localZoneChanged();
    const qint64 from = QDateTime(QDate(c.year, c.month, c.day), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    int changes = 0;
    long previous = 0;
    for (qint64 t = from; t < from + qint64(c.days) * 86400; t += 900) {
      const time_t tt = time_t(t);
      tm parts{};
      localtime_r(&tt, &parts);
      if (t > from && parts.tm_gmtoff != previous) {
        ++changes;
        for (qint64 s = t - 901; s <= t + 1; ++s)
          ASSERT_EQ(DateFichier({s, true}), localTimeText(s)) << c.zone << " " << s;
      }
      previous = parts.tm_gmtoff;
      ASSERT_EQ(DateFichier({t, true}), localTimeText(t)) << c.zone << " " << t;
    }
    EXPECT_EQ(changes, 2) << c.zone << ": the days hold a change and a change back";
  }
  // The same instants after a change back to another zone follow that zone.
  qputenv("TZ", "UTC");
  tzset();
  localZoneChanged();
  const qint64 vienna = QDateTime(QDate(1945, 4, 5), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
  EXPECT_EQ(DateFichier({vienna, true}), QStringLiteral("05/04/1945 12:00:00"));
  if (oldTz.isNull()) qunsetenv("TZ");
  else qputenv("TZ", oldTz);
  tzset();
  localZoneChanged();
}

TEST(FileDates, MonthEndsAndLeapDays) {
  const QByteArray oldTz = qgetenv("TZ");
  qputenv("TZ", "UTC");
  tzset();
  localZoneChanged();
  auto at = [](int y, int m, int d, int h, int mi, int s) {
    return DateFichier({QDateTime(QDate(y, m, d), QTime(h, mi, s), Qt::UTC).toSecsSinceEpoch(), true});
  };
  EXPECT_EQ(at(2024, 1, 31, 23, 59, 59), QStringLiteral("31/01/2024 23:59:59"));
  EXPECT_EQ(at(2024, 2, 29, 12, 0, 0), QStringLiteral("29/02/2024 12:00:00"));
  EXPECT_EQ(at(2023, 2, 28, 8, 0, 0), QStringLiteral("28/02/2023 08:00:00"));
  EXPECT_EQ(at(2024, 3, 1, 0, 0, 0), QStringLiteral("01/03/2024"));
  EXPECT_EQ(at(2000, 2, 29, 0, 0, 1), QStringLiteral("29/02/2000 00:00:01"));
  EXPECT_EQ(at(2100, 3, 1, 0, 0, 0), QStringLiteral("01/03/2100"));  // 2100 has no 29 February
  EXPECT_EQ(at(1969, 12, 31, 23, 59, 59), QStringLiteral("31/12/1969 23:59:59"));
  if (oldTz.isNull()) qunsetenv("TZ");
  else qputenv("TZ", oldTz);
  tzset();
  localZoneChanged();
}

// The writer's own numbers and names equal what QLocale writes with the
// same patterns, in locales whose dates hold month names, two-digit days
// without zeros or an am/pm text.
TEST(FileDates, OtherLocalesWriteAsQLocaleDoes) {
  const QByteArray oldTz = qgetenv("TZ");
  qputenv("TZ", "Europe/Paris");
  tzset();
  localZoneChanged();
  for (const QLocale& locale :
       {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Japanese, QLocale::Japan)}) {
    QString datePattern = locale.dateFormat(QLocale::ShortFormat);
    datePattern.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    QString timePattern = locale.timeFormat(QLocale::ShortFormat);
    if (!timePattern.contains(u's')) {
      timePattern = locale.timeFormat(QLocale::LongFormat);
      timePattern.remove(QRegularExpression(QStringLiteral("t+"))).replace(QStringLiteral("()"), QString());
      timePattern = timePattern.trimmed();
    }
    for (qint64 t = -2000000000; t < 4000000000LL; t += 7777777) {
      const QDateTime local = QDateTime::fromSecsSinceEpoch(t, Qt::LocalTime);
      QString expected = locale.toString(local.date(), datePattern);
      if (local.time() != QTime(0, 0)) expected += u' ' + locale.toString(local.time(), timePattern);
      ASSERT_EQ(dateTextInLocale(locale, {t, true}), expected) << locale.name().toStdString() << " " << t;
    }
    const qint64 midnight = QDateTime(QDate(2024, 2, 29), QTime(0, 0), Qt::LocalTime).toSecsSinceEpoch();
    EXPECT_EQ(dateTextInLocale(locale, {midnight, true}), locale.toString(QDate(2024, 2, 29), datePattern))
        << locale.name().toStdString();
  }
  const qint64 morning = QDateTime(QDate(2026, 12, 7), QTime(11, 8, 52), Qt::LocalTime).toSecsSinceEpoch();
  EXPECT_EQ(dateTextInLocale(QLocale::c(), {morning, true}), QStringLiteral("7 Dec 2026 11:08:52"));
  if (oldTz.isNull()) qunsetenv("TZ");
  else qputenv("TZ", oldTz);
  tzset();
  localZoneChanged();
}

TEST_F(FileFacts, MissingPathGivesOnlyTheNameFields) {
  const QString p = path(QStringLiteral("gone/missing.txt"));
  const InfoFichier info = LireInfoFichier(p);
  EXPECT_FALSE(info.Existe);
  EXPECT_EQ(info.CheminComplet, p);
  EXPECT_EQ(info.Nom, QStringLiteral("missing.txt"));
  EXPECT_EQ(info.Extension, QStringLiteral("txt"));
  for (const QString* field :
       {&info.Taille, &info.DateCreation, &info.DateAcces, &info.DateModification, &info.Attributs})
    EXPECT_TRUE(field->isEmpty());
  EXPECT_TRUE(IconeFichier(p).isNull());
  EXPECT_FALSE(FichierExiste(p));
  EXPECT_FALSE(FichierExiste(QString()));

  const FindData none = ChercherFichier(p);
  EXPECT_EQ(none.attributes, 0);
  EXPECT_EQ(none.size, 0u);
  EXPECT_FALSE(none.writeTime.known || none.accessTime.known || none.creationTime.known);
}

TEST_F(FileFacts, ExistenceAndFolderTests) {
  const QString file = makeFile(QStringLiteral("f.txt"), 1);
  const QString folder = path(QStringLiteral("sub"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString dangling = path(QStringLiteral("dangling"));
  ASSERT_EQ(symlink("nowhere", encodePath(dangling).constData()), 0);
  const QString toFolder = path(QStringLiteral("tofolder"));
  ASSERT_EQ(symlink("sub", encodePath(toFolder).constData()), 0);

  EXPECT_TRUE(FichierExiste(folder));
  EXPECT_TRUE(FichierExiste(file));
  EXPECT_TRUE(FichierExiste(dangling));  // the entry is there, whatever it points to
  EXPECT_TRUE(EstUnDossier(folder));
  EXPECT_TRUE(EstUnDossier(toFolder));
  EXPECT_FALSE(EstUnDossier(file));
  EXPECT_FALSE(EstUnDossier(path(QStringLiteral("missing"))));
  EXPECT_FALSE(EstUnDossier(dangling));
}

TEST_F(FileFacts, EntryKindsGiveTheirLetters) {
  const QString hidden = makeFile(QStringLiteral(".hidden"), 4);
  const QString readOnly = makeFile(QStringLiteral("ro.txt"), 4);
  ASSERT_EQ(chmod(encodePath(readOnly).constData(), 0444), 0);
  const QString link = path(QStringLiteral("link.txt"));
  ASSERT_EQ(symlink("ro.txt", encodePath(link).constData()), 0);
  const QString fifo = path(QStringLiteral("pipe"));
  ASSERT_EQ(mkfifo(encodePath(fifo).constData(), 0644), 0);
  const QString folder = path(QStringLiteral("folder"));
  ASSERT_TRUE(QDir().mkpath(folder));
  const QString hiddenFolder = path(QStringLiteral(".config/"));
  ASSERT_TRUE(QDir().mkpath(hiddenFolder));

  EXPECT_EQ(LireInfoFichier(hidden).Attributs, QStringLiteral("AH"));
  EXPECT_EQ(LireInfoFichier(readOnly).Attributs, QStringLiteral("AR"));
  EXPECT_EQ(LireInfoFichier(link).Attributs, QStringLiteral("R-P"));  // the link, not its target
  EXPECT_EQ(LireInfoFichier(fifo).Attributs, QStringLiteral("S"));
  EXPECT_EQ(LireInfoFichier(folder).Attributs, QStringLiteral("D"));
  EXPECT_EQ(LireInfoFichier(hiddenFolder).Attributs, QStringLiteral("DH"));
  EXPECT_EQ(LireInfoFichier(QStringLiteral("/dev/null")).Attributs, QStringLiteral("S"));

  // The find data gives no size for a folder or a link (not the length of
  // the link's text, nor the target's size): their size text is empty.
  EXPECT_EQ(ChercherFichier(link).size, 0u);
  EXPECT_EQ(ChercherFichier(folder).size, 0u);
  EXPECT_EQ(LireInfoFichier(link).Taille, QString());
  EXPECT_EQ(LireInfoFichier(folder).Taille, QString());
  EXPECT_EQ(LireInfoFichier(hiddenFolder).Taille, QString());
  EXPECT_EQ(LireInfoFichier(readOnly).Taille, QStringLiteral("4"));
  EXPECT_EQ(ChercherFichier(fifo).size, 0u);
}

TEST_F(FileFacts, NamesThatAreNotUtf8StillNameTheSameFile) {
  const QByteArray bytes = encodePath(dir_.path()) + "/caf\xe9-\xff.txt";
  const int fd = open(bytes.constData(), O_CREAT | O_WRONLY | O_EXCL, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 1234), 0);
  close(fd);
  const QString text = decodePath(bytes);
  const InfoFichier info = LireInfoFichier(text);
  EXPECT_TRUE(info.Existe);
  EXPECT_EQ(info.Taille, QStringLiteral("1") + QLocale::system().groupSeparator() + "234");
  EXPECT_EQ(info.Extension, QStringLiteral("txt"));
  EXPECT_TRUE(FichierExiste(text));
  EXPECT_FALSE(IconeFichier(text).isNull());
  unlink(bytes.constData());  // Qt could not remove it with the folder
}

TEST_F(FileFacts, ExistingFilesAndFoldersHaveAnIcon) {
  EXPECT_FALSE(IconeFichier(makeFile(QStringLiteral("photo.png"), 10)).isNull());
  EXPECT_FALSE(IconeFichier(dir_.path()).isNull());
}

}  // namespace
