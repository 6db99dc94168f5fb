// The search engine: counts the records of the chosen scope, reads its list
// files and shows every stored path that holds the criterion and still
// names a file.
#include <deque>
#include <optional>
#include <string>

#include "database/dbfolder.h"
#include "mainwindow/Main2.h"
#include "mainwindow/factsahead.h"
#include "mainwindow/listrows.h"
#include "platform/eventpump.h"
#include "platform/pathcodec.h"
#include "platform/services.h"
#include "search/searchengine.h"
#include "search/searchscan.h"
#include "support/Attendre.h"
#include "support/SonRessVRN.h"
#include "support/VariablesVRN.h"
#include "support/formats.h"
#include "support/jobguard.h"

namespace vrn {

namespace {
constexpr int kBarWidth = 2775;  // twips of the full progress bar
qint64 lastGapMs = 0;

enum Scope { kNoScope = 0, kPreferred = 1, kCommon = 2, kAll = 3, kOneList = 4 };

// The first ticked box in the order Check17, Check18, Check19, Check20.
Scope chosenScope(const Main2& w) {
  if (w.Check17->Value() == 1) return kPreferred;
  if (w.Check18->Value() == 1) return kCommon;
  if (w.Check19->Value() == 1) return kAll;
  if (w.Check20->Value() == 1) return kOneList;
  return kNoScope;
}

QStringList preferredScopeFiles(const Main2& w) {
  QStringList files;
  for (int i = 0; i < w.Combo1->ListCount(); ++i) files << listFileOf(w.Combo1->List(i));
  return files;
}

QStringList allScopeFiles(const Main2& w) {
  QStringList files;
  for (int i = 0; i < w.File1->ListCount(); ++i) files << databaseFile(w.File1->List(i));
  return files;
}

// Sets TotalEnregistrements to the records of the given list files.
void countScope(const QStringList& files) {
  VariablesVRN& v = vrnVars();
  v.TotalEnregistrements = 0;
  for (v.IndiceBoucle = 0; v.IndiceBoucle < files.size(); ++v.IndiceBoucle)
    v.TotalEnregistrements += listRecordCount(files[v.IndiceBoucle]);
}

}  // namespace

int& searchEventSliceMs() {
  static int slice = 6;
  return slice;
}

qint64 lastSearchLongestGapMs() { return lastGapMs; }

void Main2::CompterDonneesPreferees() { countScope(preferredScopeFiles(*this)); }

void Main2::CompterDonneesConventionnelles() { countScope(commonScopeFiles(vrnVars().TabExtensionsCourantes)); }

void Main2::CompterDonneesToutes() {
  File1->Refresh();
  countScope(allScopeFiles(*this));
}

void Main2::RechercherParCritere() {
  VariablesVRN& v = vrnVars();
  const JobGuard running(Job::Search);

  MyButton25->hide();
  MyButton26->show();
  for (QWidget* w : std::initializer_list<QWidget*>{Check17, Check18, Check19, Check20, Combo10}) w->setEnabled(false);
  v.DemandeArret = "";

  Attendre(0.5);

  Timer4->setInterval(10);
  Timer4->setEnabled(true);
  Label32->show();
  Shape4->show();
  Picture3->show();

  ListView2->Clear();
  for (MyButton* b : {Command4, Command5, Command8, Command11}) b->hide();

  // One generic picture for every found row. (The arrangement setting only
  // matters in the icon views; the list is shown as a report.)
  ListView2->setLargeIcons(nullptr);
  ListView2->setSmallIcons(nullptr);
  ImageList1->Clear();
  ImageList1->Add(Image11->Picture());
  ListView2->setSmallIcons(ImageList1);
  ListView2->setView(ListView::lvwReport);

  File1->Refresh();
  v.CritereRecherche = searchCriterion(Text2->Text());
  ListView2->hide();
  Label2->setCaption("Recherche Affinée par Critère de Recherche en Cours...");

  // The scope is fixed here: boxes and lists changed while the search lets
  // events run do not change what it reads.
  QStringList files;
  const Scope scope = chosenScope(*this);
  switch (scope) {
    case kPreferred:
      files = preferredScopeFiles(*this);
      break;
    case kCommon:
      files = commonScopeFiles(v.TabExtensionsCourantes);
      break;
    case kAll:
      files = allScopeFiles(*this);
      break;
    case kOneList:
      files = QStringList{listFileOf(Combo10->Text())};
      break;
    case kNoScope:
      break;
  }

  // The records are read and matched ahead on worker threads (the reader),
  // and the hits are looked at and their rows made ahead on others (the
  // facts): the stored path names the file, Linux names being
  // case-sensitive, while the row's name comes from the path in lower case.
  // Both start before the count, which runs meanwhile. Events run at a
  // steady pace rather than after every record, and as they come while the
  // workers are behind, once the first record is in: no turn of the event
  // loop comes between the set-up of the scope and its first record (the
  // reader's first piece is small).
  EventPump pump({.sliceMs = searchEventSliceMs(), .quietBeforeFirstOfferMs = -1});
  std::optional<ScopeReader> reader;
  std::optional<FactsAhead> facts;
  if (scope != kNoScope) {
    reader.emplace(files, v.CritereRecherche, 0, pump.waker());
    FactsAhead::Options factsOptions;
    factsOptions.columns = DetailColumns{};  // every detail, whatever the display options say
    factsOptions.lowerCaseName = true;
    factsOptions.wake = pump.waker();
    facts.emplace(factsOptions);
  }

  switch (scope) {
    case kPreferred:
      CompterDonneesPreferees();
      break;
    case kCommon:
      CompterDonneesConventionnelles();
      break;
    case kAll:
      CompterDonneesToutes();
      break;
    case kOneList:
      v.NumEnregistrement = listRecordCount(files[0]);
      v.TotalEnregistrements = v.NumEnregistrement;
      break;
    case kNoScope:
      break;
  }

  bool stopped = false;
  if (scope != kNoScope) {
    const qint64 total = v.TotalEnregistrements;
    v.NbEnregistrementsLus = 0;
    etat0->show();
    const double step = total > 0 ? double(kBarWidth) / double(total) : 0.0;
    Label28->setCaption("Total Répertoires et Données (" + QString::number(total) + ") à Analyser");

    static const NumberPattern percentPattern(QStringLiteral("###.#0%"));

    // The bar, the percentage and the running count are refreshed when
    // events run and once more at the end, so they end exact.
    qint64 percentRecord = 0;  // the record whose percentage is due
    qint64 percentShown = 0;
    qint64 hitsShown = 0;
    qint64 hits = 0;
    auto showProgress = [&] {
      etat0->setWidth(qRound(double(v.NbEnregistrementsLus) * step));
      if (percentRecord != percentShown && total > 0) {
        Label35->setCaption(percentPattern.format(double(percentRecord) / double(total)));
        percentShown = percentRecord;
      }
      if (hits != hitsShown) {
        Label32->setCaption("Recherche en Cours (" + QString::number(ListView2->Count()) + ") Fichiers");
        hitsShown = hits;
      }
    };
    // The shared variables of the path in hand name the last row added;
    // like the labels they are brought up to date when events run and at
    // the end.
    std::string lastRowPath;  // the stored bytes of the last row added
    bool rowVariablesDue = false;
    auto showRowVariables = [&] {
      if (!rowVariablesDue) return;
      rowVariablesDue = false;
      const QString path = decodePath(lastRowPath.data(), qsizetype(lastRowPath.size()));
      const QString lower = path.toLower();
      v.ExtensionCourante = path;
      v.PosPoint = lower.lastIndexOf(u'.') + 1;
      v.PosSlash = lower.lastIndexOf(u'/') + 1;
      v.NomSansExt = nameWithoutExtension(lower);
    };

    pump.setBeforeTurn([&] {
      showProgress();
      showRowVariables();
    });

    // The record loop takes the results of the reader and of the facts in
    // order and keeps each record's turn: the count, the stop test, the
    // percentage, and for a hit that exists its row.

    // Pieces taken from the reader whose hits went to the facts, in order.
    std::deque<ScopeReader::Piece> inHand;
    constexpr size_t kMaxPiecesInHand = 64;
    bool readerDone = false;
    // Takes the pieces the reader has ready while the facts have room for
    // their hits.
    auto pull = [&] {
      ScopeReader::Piece piece;
      while (!readerDone && inHand.size() < kMaxPiecesInHand && (inHand.empty() || facts->wantsInput())) {
        if (!reader->next(piece, 0)) {
          if (reader->finished()) {
            readerDone = true;
            facts->endInput();
          } else {
            // The reader is behind: the hits fed so far are looked at now
            // rather than when a batch of them is full.
            facts->flush();
          }
          return;
        }
        for (const ScopeReader::Hit& hit : piece.hits) facts->feed(hit.record, hit.path);
        inHand.push_back(std::move(piece));
      }
    };
    auto nextPiece = [&](ScopeReader::Piece& out) {
      pull();
      if (inHand.empty() && !readerDone)
        pump.waitUntil([&] {
          pull();
          return !inHand.empty() || readerDone;
        });
      if (inHand.empty()) return false;
      out = std::move(inHand.front());
      inHand.pop_front();
      return true;
    };
    // The result of the next hit (every hit of a piece in hand was fed).
    auto takeFacts = [&](FactsAhead::Result& out) {
      pull();
      bool taken = facts->take(out, 0);
      if (!taken && !facts->finished())
        pump.waitUntil([&] {
          pull();
          return (taken = facts->take(out, 0)) || facts->finished();
        });
      return taken;
    };
    // The turn of record r up to its stop test; false when the search stops.
    auto beginRecord = [&](qint64 r) {
      v.IndiceBoucle2 = r;
      ++v.NbEnregistrementsLus;
      if (v.DemandeArret == kStopRequest) {
        showProgress();
        Label2->setCaption("La Recherche à été Stoppée par l'Utilisateur...");
        Label32->setCaption("Recherche Stoppée par l'Utilisateur...");
        stopped = true;
        return false;
      }
      percentRecord = v.NbEnregistrementsLus;
      return true;
    };
    // Records from..to, none of them a hit. The stop request only changes
    // while events run, so between two turns of the event loop one test
    // stands for the whole run.
    auto passMisses = [&](qint64 from, qint64 to) {
      while (from <= to) {
        const qint64 last = pump.turnsAtEveryOffer() ? from : to;
        if (!beginRecord(from)) return false;
        v.NbEnregistrementsLus += last - from;
        v.IndiceBoucle2 = last;
        percentRecord = v.NbEnregistrementsLus;
        from = last + 1;
        pump.offer();
      }
      return true;
    };
    FactsAhead::Result found;
    auto passHit = [&](const ScopeReader::Hit& hit) {
      // Its facts are taken before its turn begins, so that events that run
      // while the workers are behind come between two records. A stop
      // already requested needs none.
      const bool ready = v.DemandeArret != kStopRequest && takeFacts(found);
      if (!beginRecord(hit.record)) return false;
      Q_ASSERT(ready && found.tag == hit.record);
      if (ready && found.exists) {
        ListView2->AddPacked(found.row, 1);
        lastRowPath.assign(found.path.data(), size_t(found.path.size()));
        rowVariablesDue = true;
        ++hits;
      }
      pump.offer();
      return true;
    };

    // The loops keep their own counters and only show them in the shared
    // ones: handlers that run between records use those too.
    ScopeReader::Piece piece;
    while (!stopped && nextPiece(piece)) {
      if (piece.opening) {
        v.IndiceBoucle = piece.list + 1;
        v.NumEnregistrement = piece.opened ? piece.recordCount : 0;
        continue;
      }
      qint64 next = piece.first;
      for (const ScopeReader::Hit& hit : piece.hits) {
        if (!passMisses(next, hit.record - 1) || !passHit(hit)) break;
        next = hit.record + 1;
      }
      if (!stopped) passMisses(next, piece.last);
    }
    // Stopped or done: the workers leave now.
    facts.reset();
    reader.reset();
    showRowVariables();
    if (!stopped) showProgress();
    lastGapMs = pump.longestGapMs();
    pump.setBeforeTurn({});
  }

  // End steps, after a stop as well.
  etat0->setWidth(0);
  etat0->hide();
  const bool stopRequested = v.DemandeArret == kStopRequest;
  if (!stopRequested) {
    const QString n = QString::number(ListView2->Count());
    Label2->setCaption("Résultat de la Recherche (" + n + ") Fichiers\n(" + v.SourceActuelle + ")");
    Label32->setCaption("Recherche Terminée\nTrouvé (" + n + ") Fichiers");
  } else {
    ListView2->Clear();
    ListView2->hide();
    v.DemandeArret = "";
  }
  MyButton25->show();
  MyButton26->hide();
  // The window is widened while the list is still hidden: laying out a
  // shown list of many rows again takes long. No event runs in between.
  setWidth(kWideWidth);
  if (ListView2->Count() > 0) {
    for (QWidget* w : std::initializer_list<QWidget*>{ListView2, Command4, Command8, Command11}) w->show();
  } else {
    for (QWidget* w : std::initializer_list<QWidget*>{ListView2, Command4, Command5, Command8, Command11}) w->hide();
  }
  Timer4->setEnabled(false);
  Shape4->hide();
  Picture3->hide();
  // The one sound that plays whatever the sound option says.
  JouerSon();
  for (QWidget* w : std::initializer_list<QWidget*>{Check17, Check18, Check19, Check20, Combo10}) w->setEnabled(true);
}

}  // namespace vrn
