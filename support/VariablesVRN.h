#pragma once
// Every value that outlives one handler: one process-wide set, shared by the
// main window and every list page. Tests reset it between cases.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>
#include <vector>

namespace vrn {

// The words the shared texts hold and are compared with.
// Yes/no flags (ScanEnCours, ModeCopie, ModeRecherche, FenetreDejaOuverte):
// kYes or "".
inline constexpr QLatin1String kYes("oui");
// Stop request (DemandeArret), "" when none is asked: the main window's stop
// buttons ask kStopRequest, a list page's copy stop button kPageStopRequest.
inline constexpr QLatin1String kStopRequest("stop");
inline constexpr QLatin1String kPageStopRequest("stopper");
// Source states (SourceActuelle, SourceAScanner): no source yet, and scan
// the preset source without asking.
inline constexpr QLatin1String kNoSourceYet("Aucun pour l'Instant");
inline constexpr QLatin1String kScanPresetSource("on scann");
// Connection state (EtatConnexion), as the connection test leaves it.
inline constexpr QStringView kConnected(u"Vous êtes Connecté au Réseau");
inline constexpr QStringView kNotConnected(u"Vous n'êtes pas Connecté au Réseau");
// Option flags (Par): kOptionOn, anything else off; kOptionOff is written
// for off.
inline constexpr QLatin1String kOptionOn("1");
inline constexpr QLatin1String kOptionOff("0");

// List sets (ModeListes): which lists the list of lists offers.
enum ListSetMode { kPreferredListSet = 1, kCommonListSet = 2, kAllListSet = 3 };
// Automatic display modes (ModeAffichageAuto): none, one page per list in
// the task bar or on screen, or the lists walked in the wide main window.
enum AutoDisplayMode { kNoAutoDisplay = 0, kAutoPagesInTaskBar = 1, kAutoPagesOnScreen = 2, kAutoListsInWindow = 3 };

struct VariablesVRN {
  // Source and scan.
  QString SourceActuelle;
  QString SourceAScanner;
  QString DossierAScanner;
  QString TitreDialogue;
  QString TamponChemin;
  QString ScanEnCours;          // kYes or ""
  QString DemandeArret;         // kStopRequest, kPageStopRequest or ""
  double HeureDebutScan = 0.0;  // seconds since midnight
  qint64 NombreFichiers = 0;    // total records of the database
  // Work arrays of the walk, indexed from 1 (slot 0 unused): extension and
  // path of the k-th file found, both empty when that file was not retained.
  std::vector<QByteArray> TabExtensions = std::vector<QByteArray>(2);
  std::vector<QByteArray> TabChemins = std::vector<QByteArray>(2);

  // Copy.
  QString ModeCopie;  // kYes or ""
  QString DossierChoisiDestination;
  QString DossierDestination;
  QString DossierSauvegarde;
  QString SourceCopie;
  QString NomCopie;

  // Scratch and loop counters shared by the procedures.
  QString ExtensionCourante;
  qint64 NumEnregistrement = 0;
  qint64 IndiceBoucle = 0;
  qint64 IndiceBoucle2 = 0;
  qint64 Position = 0;
  qint64 PosPoint = 0;
  qint64 PosSlash = 0;
  QString NomSansExt;
  int Reponse = 0;

  // List sets and preferred lists; an unset count shows as an empty text.
  std::optional<int> NbExtensionsPreferees;
  std::optional<int> NbExtensionsCourantes;
  std::optional<int> NbExtensionsTotal;
  int ModeListes = 0;  // ListSetMode, 0 before any
  int NbSelectionnees = 0;
  int NbNonSelectionnees = 0;
  int NbIdentiques = 0;

  // Options: elements 1 to 14 used.
  std::array<QString, 15> Par{};

  // Built-in tables, elements from 1 (slot 0 unused).
  QStringList TabExtensionsCourantes;
  QStringList TabExtensionsRisquees;

  // Lists and presentation.
  QString CheminFichier;
  qint64 NombreSelection = 0;
  std::array<int, 11> LargeursColonnes{};
  int AutoSizeActif = 0;
  QString EtatConnexion;  // kConnected or kNotConnected once tested

  // Search.
  QString ModeRecherche;  // kYes or ""
  QString CritereRecherche;
  qint64 TotalEnregistrements = 0;
  qint64 NbEnregistrementsLus = 0;

  // Pages and automatic display.
  int PosGaucheFenetre = 0;
  int PosHautFenetre = 0;
  int NbFenetresCascade = 0;
  int NbFenetresListes = 0;
  QString FenetreDejaOuverte;  // kYes or ""
  int ModeAffichageAuto = kNoAutoDisplay;
  int DernierIndexAuto = 0;
  int NbPagesOuvertes = 0;
  QString DernierTitrePage;
};

VariablesVRN& vrnVars();
void resetVariablesVRN();

// The text of a count that may never have been set: "" when unset.
QString countText(const std::optional<int>& count);

// Element i (from 1) of a table kept with an unused slot 0.
inline QString tableAt(const QStringList& table, qsizetype i) {
  return i >= 1 && i < table.size() ? table[i] : QString();
}
inline qsizetype tableUpper(const QStringList& table) { return table.isEmpty() ? 0 : table.size() - 1; }

}  // namespace vrn
