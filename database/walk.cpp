#include "database/walk.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <linux/magic.h>
#include <map>
#include <memory_resource>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <string_view>
#include <thread>
#include <unistd.h>

#include "platform/eventpump.h"
#include "platform/pathcodec.h"

namespace vrn {

// ---- extension rule ----

QByteArray lowerExtension(std::string_view raw, qsizetype* characters) {
  bool ascii = true;
  for (char ch : raw) ascii = ascii && (static_cast<unsigned char>(ch) < 0x80);
  if (ascii) {
    QByteArray out(raw.data(), qsizetype(raw.size()));
    for (char& ch : out)
      if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    if (characters) *characters = out.size();
    return out;
  }
  const QString text = decodePath(raw.data(), qsizetype(raw.size()));
  if (characters) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
      if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate())) ++n;
    *characters = n;
  }
  // Bytes kept undecoded (lone U+DC80..U+DCFF) must come back as they were:
  // only the text between them is lower-cased.
  QString lowered;
  lowered.reserve(text.size());
  qsizetype run = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    const bool escape = i < text.size() && text[i].unicode() >= 0xDC80 && text[i].unicode() <= 0xDCFF &&
                        !(i > 0 && text[i - 1].isHighSurrogate());
    if (i < text.size() && !escape) continue;
    lowered += QStringView(text).mid(run, i - run).toString().toLower();
    if (escape) lowered += text[i];
    run = i + 1;
  }
  return encodePath(lowered);
}

ExtensionVerdict ExtensionRule::classify(std::string_view fullPath, QByteArray* extension) {
  if (qsizetype(fullPath.size()) > kPathMaxBytes) return ExtensionVerdict::PathTooLong;
  if (!fullPath.empty() && fullPath.back() == ' ') return ExtensionVerdict::TrailingBlank;
  const size_t dot = fullPath.rfind('.');
  std::string_view ext = dot == std::string_view::npos ? fullPath : fullPath.substr(dot + 1);
  while (!ext.empty() && ext.front() == ' ') ext.remove_prefix(1);
  while (!ext.empty() && ext.back() == ' ') ext.remove_suffix(1);
  // Eight characters take at most 32 bytes.
  if (ext.empty() || ext.size() > 4 * kExtensionMaxChars) return ExtensionVerdict::Length;
  if (ext.find('/') != std::string_view::npos) return ExtensionVerdict::Slash;
  if (auto it = known_.find(ext); it != known_.end()) {
    *extension = it->second;
    return ExtensionVerdict::Retained;
  }
  qsizetype characters = 0;
  const QByteArray lowered = lowerExtension(ext, &characters);
  if (characters < 1 || characters > kExtensionMaxChars) return ExtensionVerdict::Length;
  known_.emplace(std::string(ext), lowered);
  *extension = lowered;
  return ExtensionVerdict::Retained;
}

// ---- pseudo file systems ----

namespace {

// The file-system type names of the mounts, by device, read once per walk.
std::map<dev_t, std::string> mountTypes() {
  std::map<dev_t, std::string> types;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mountpoint options [optional...] - type source ...
    unsigned major = 0, minor = 0;
    const size_t sp1 = line.find(' '), sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string::npos || std::sscanf(line.c_str() + sp2 + 1, "%u:%u", &major, &minor) != 2) continue;
    const size_t dash = line.find(" - ");
    if (dash == std::string::npos) continue;
    const size_t start = dash + 3, end = line.find(' ', start);
    types[makedev(major, minor)] = line.substr(start, end == std::string::npos ? end : end - start);
  }
  return types;
}

bool pseudoMagic(unsigned long type) {
  switch (type) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case SECURITYFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case 0x62656570 /* configfs */:
    case 0x65735543 /* fusectl */:
    case 0x19800202 /* mqueue */:
    case HUGETLBFS_MAGIC:
    case BINFMTFS_MAGIC:
    case AUTOFS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

bool pseudoFileSystem(int fd, dev_t dev, std::once_flag* once, std::map<dev_t, std::string>* types) {
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0) return false;
  if (pseudoMagic(static_cast<unsigned long>(fs.f_type))) return true;
  // devtmpfs reports the magic of tmpfs (or ramfs): only the mount table tells.
  if (fs.f_type == TMPFS_MAGIC || fs.f_type == RAMFS_MAGIC) {
    std::call_once(*once, [&] { *types = mountTypes(); });
    const auto it = types->find(dev);
    return it != types->end() && it->second == "devtmpfs";
  }
  return false;
}

}  // namespace

bool onPseudoFileSystem(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  std::once_flag once;
  std::map<dev_t, std::string> types;
  return pseudoFileSystem(fd, st.st_dev, &once, &types);
}

// ---- folder reading ----

namespace {

// What the walk keeps of the folders (their nodes, names and listings) is
// taken from one arena per thread and given back at once when the walk ends:
// hundreds of thousands of small blocks freed one by one take long, and
// longer while the readers allocate.
using Arena = std::pmr::monotonic_buffer_resource;

// A copy of text in arena, ended by a NUL (for openat).
std::string_view keepText(Arena* arena, const char* text, size_t size) {
  auto* copy = static_cast<char*>(arena->allocate(size + 1, 1));
  std::memcpy(copy, text, size);
  copy[size] = 0;
  return {copy, size};
}

// The files of one folder in listing order: slot k of both holds the k-th
// file's extension and path, both empty when it is not retained.
struct Files {
  explicit Files(Arena* arena) : extensions(arena), paths(arena) {}
  std::pmr::vector<QByteArray> extensions;
  std::pmr::vector<QByteArray> paths;
};

// Folders below the root are opened relative to their parent's descriptor,
// never through a link.
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// One folder of the walk: its listing once read.
struct Node {
  // The parent outlives every read of this node: a folder stays in its
  // parent's subfolder list, or in the walk's own path, until it is read.
  Node* parent = nullptr;
  std::string_view name;  // its entry in the parent, NUL-ended; for the root, the path to open
  // Its full path, carried down only while files below can still fit a
  // record: below a longer folder path nothing can be retained, and copying
  // ever longer paths would make the walk's cost grow with the square of the
  // depth.
  std::string_view path;
  bool pathFits = true;
  bool root = false;
  dev_t parentDev = 0;
  enum State { Pending, Reading, Done };
  State state = Pending;  // guarded by the reader pool's mutex when there is one
  // 1 once its listing is complete (set last). On a line of
  // its own: the walk may poll it while the reader still writes the rest.
  alignas(64) std::atomic<int> read{0};
  char padding[64 - sizeof(std::atomic<int>)];
  // Kept open while subfolders remain to be opened relative to it: refs
  // counts those subfolders and the readers using fd to reopen others.
  std::atomic<int> fd{-1};
  std::atomic<qint64> refs{0};
  // What listing it gave, from the arena of the reader that listed it (made
  // when its reading starts).
  struct Listing {
    explicit Listing(Arena* arena) : files(arena), subfolders(arena) {}
    Files files;
    std::pmr::vector<std::shared_ptr<Node>> subfolders;
  };
  std::optional<Listing> listing;

  ~Node() {
    if (fd >= 0) ::close(fd);  // a walk stopped before all subfolders were opened
  }
};

// Frees a tree of nodes without recursion: a deep chain would overflow the
// stack.
void releaseTree(std::shared_ptr<Node> top) {
  std::vector<std::shared_ptr<Node>> pending;
  pending.push_back(std::move(top));
  while (!pending.empty()) {
    std::shared_ptr<Node> node = std::move(pending.back());
    pending.pop_back();
    if (!node || !node->listing) continue;
    for (std::shared_ptr<Node>& child : node->listing->subfolders) pending.push_back(std::move(child));
    node->listing->subfolders.clear();
  }
}

// The walk's root may be reached through links, as the user named it. Paths
// longer than the system allows are opened one component at a time.
int openRoot(const char* text) {
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  const QByteArray path = QByteArray::fromRawData(text, qsizetype(std::strlen(text)));
  if (path.size() < PATH_MAX) {
    const int fd = ::open(text, flags);
    if (fd >= 0 || errno != ENAMETOOLONG) return fd;
  }
  int dirfd = ::open(path.startsWith('/') ? "/" : ".", flags);
  for (const QByteArray& part : path.split('/')) {
    if (part.isEmpty() || dirfd < 0) continue;
    const int next = ::openat(dirfd, part.constData(), flags);
    ::close(dirfd);
    dirfd = next;
  }
  return dirfd;
}

// Opens each folder relative to its parent's descriptor, so that no component
// of its path is looked up again: a folder swapped for a link after its
// parent was listed is not entered, and the cost does not grow with the
// depth. A folder keeps its descriptor until all its subfolders are open,
// within a budget taken from the process's descriptor limit; the subfolders
// of a folder whose descriptor was not kept are reached again from the
// nearest ancestor that has one.
class FolderOpener {
 public:
  FolderOpener() {
    rlim_t soft = 1 << 20;
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) soft = limit.rlim_cur;
    // Those kept and those held while reopening: together at most a quarter
    // of the limit (beside one for each reader), so the program's own files
    // never lack one.
    keepBudget_ = qint64(std::clamp<rlim_t>(soft / 8, 2, 512));
    window_ = qint64(std::clamp<rlim_t>(soft / 16, 2, 256));
  }

  // The folder's descriptor, or -1 when it cannot be opened.
  int open(Node& node) {
    if (node.root) return openRoot(node.name.data());
    Node& parent = *node.parent;
    // The folder is one of its parent's references: the parent's descriptor
    // stays open until the folder is.
    const int parentFd = parent.fd.load();
    const int fd = parentFd >= 0 ? ::openat(parentFd, node.name.data(), kFolderFlags) : reopen(node);
    unref(parent);
    return fd;
  }

  // Called once the folder is listed, before any of its subfolders can be
  // opened: keeps its descriptor for them, or closes it.
  void keep(Node& node, int fd) {
    const qint64 subfolders = qint64(node.listing->subfolders.size());
    // The root holds a reference of its own: its descriptor lasts the walk.
    node.refs = subfolders + (node.root ? 1 : 0);
    if (subfolders > 0) {
      if (node.root || kept_.fetch_add(1) < keepBudget_) {
        node.fd = fd;
        return;
      }
      --kept_;
    }
    ::close(fd);
  }

 private:
  // A reference that keeps node's descriptor open; false when it has no
  // subfolder left to open (its descriptor is closed or being closed).
  static bool pin(Node& node) {
    qint64 refs = node.refs.load();
    while (refs > 0)
      if (node.refs.compare_exchange_weak(refs, refs + 1)) return true;
    return false;
  }

  void unref(Node& node) {
    if (node.refs.fetch_sub(1) != 1) return;
    if (const int fd = node.fd.exchange(-1); fd >= 0) {
      ::close(fd);
      --kept_;
    }
  }

  // Opens the folder from the nearest ancestor that has a descriptor, one
  // name at a time, and keeps the deepest folders on the way that still have
  // subfolders to open: they are the ones the walk needs next.
  int reopen(Node& node) {
    // One at a time: the others then find the folders it kept.
    std::lock_guard serial(reopening_);
    Node& parent = *node.parent;
    if (const int parentFd = parent.fd.load(); parentFd >= 0) return ::openat(parentFd, node.name.data(), kFolderFlags);
    std::vector<Node*> between{&parent};  // up from the parent
    Node* base = parent.parent;
    for (; base; base = base->parent) {
      if (pin(*base)) {
        if (base->fd.load() >= 0) break;
        unref(*base);
      }
      between.push_back(base);
    }
    if (!base) return -1;  // not reached: the root keeps its descriptor

    std::deque<std::pair<Node*, int>> held;
    int at = base->fd.load();
    for (auto it = between.rbegin(); it != between.rend() && at >= 0; ++it) {
      at = ::openat(at, (*it)->name.data(), kFolderFlags);
      if (at < 0) break;
      held.emplace_back(*it, at);
      if (qint64(held.size()) > window_) {
        ::close(held.front().second);
        held.pop_front();
      }
    }
    const int fd = at >= 0 ? ::openat(at, node.name.data(), kFolderFlags) : -1;
    for (auto& [folder, heldFd] : held) {
      bool kept = false;
      if (pin(*folder)) {
        int none = -1;
        kept = kept_.fetch_add(1) < keepBudget_ + window_ && folder->fd.compare_exchange_strong(none, heldFd);
        if (!kept) --kept_;
        unref(*folder);  // closes it again when its last subfolder was opened meanwhile
      }
      if (!kept) ::close(heldFd);
    }
    unref(*base);
    return fd;
  }

  std::mutex reopening_;
  std::atomic<qint64> kept_{0};
  qint64 keepBudget_ = 0;
  qint64 window_ = 0;
};

// Per-thread state for reading folders.
struct Reader {
  Reader(Arena* ownArena, FolderOpener* folderOpener, const WalkHooks* walkHooks, std::once_flag* mountTypesOnce,
         std::map<dev_t, std::string>* knownMountTypes, const std::atomic<bool>* cancelled)
      : arena(ownArena),
        opener(folderOpener),
        hooks(walkHooks),
        mountOnce(mountTypesOnce),
        mountTypes(knownMountTypes),
        cancel(cancelled) {}

  // Without shared values: the extensions one reader hands out then share
  // no reference counter with another reader's.
  ExtensionRule rule;
  Arena* arena;  // this reader's own
  FolderOpener* opener;
  const WalkHooks* hooks;
  std::once_flag* mountOnce;
  std::map<dev_t, std::string>* mountTypes;
  const std::atomic<bool>* cancel;
  std::vector<char> buffer = std::vector<char>(256 * 1024);
  std::string scratch;
  std::vector<QByteArray> extensions;
  std::vector<QByteArray> paths;
  QByteArray extension;

  void read(Node& node) {
    Node::Listing& listing = node.listing.emplace(arena);
    const int fd = opener->open(node);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 ||
        ((node.root || st.st_dev != node.parentDev) && pseudoFileSystem(fd, st.st_dev, mountOnce, mountTypes))) {
      ::close(fd);
      return;
    }
    size_t prefix = 0;
    if (node.pathFits) {
      scratch.assign(node.path);
      if (scratch.empty() || scratch.back() != '/') scratch.push_back('/');
      prefix = scratch.size();
    }
    bool failed = false;
    for (;;) {
      if (cancel && cancel->load(std::memory_order_relaxed)) {
        failed = true;
        break;
      }
      const ssize_t n = ::getdents64(fd, buffer.data(), buffer.size());
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        failed = true;
        break;
      }
      for (ssize_t off = 0; off < n;) {
        const auto* d = reinterpret_cast<const dirent64*>(buffer.data() + off);
        off += d->d_reclen;
        const char* name = d->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        bool folder = d->d_type == DT_DIR;
        if (d->d_type == DT_UNKNOWN) {
          struct stat es;
          folder = ::fstatat(fd, name, &es, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(es.st_mode);
        }
        const size_t len = std::strlen(name);
        if (node.pathFits) {
          scratch.resize(prefix);
          scratch.append(name, len);
        }
        if (folder) {
          auto child = std::allocate_shared<Node>(std::pmr::polymorphic_allocator<Node>(arena));
          child->parent = &node;
          child->name = keepText(arena, name, len);
          child->parentDev = st.st_dev;
          child->pathFits = node.pathFits && qsizetype(scratch.size()) <= kPathMaxBytes;
          if (child->pathFits) child->path = keepText(arena, scratch.data(), scratch.size());
          listing.subfolders.push_back(std::move(child));
        } else {
          // Under a folder whose own path is longer than a record, no path fits.
          if (node.pathFits && rule.classify(scratch, &extension) == ExtensionVerdict::Retained) {
            extensions.push_back(std::move(extension));
            paths.emplace_back(scratch.data(), qsizetype(scratch.size()));
          } else {
            extensions.emplace_back();
            paths.emplace_back();
          }
        }
      }
    }
    if (failed) {
      extensions.clear();
      paths.clear();
      listing.subfolders.clear();
    }
    // Exactly as long as needed: a million files stay in these until the walk ends.
    listing.files.extensions.reserve(extensions.size());
    std::move(extensions.begin(), extensions.end(), std::back_inserter(listing.files.extensions));
    extensions.clear();
    listing.files.paths.reserve(paths.size());
    std::move(paths.begin(), paths.end(), std::back_inserter(listing.files.paths));
    paths.clear();
    if (hooks->folderListed)
      hooks->folderListed(QByteArray::fromRawData(node.path.data(), qsizetype(node.path.size())));
    opener->keep(node, fd);
  }
};

// A hint to the processor that this thread is waiting in a loop.
inline void pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Reader threads that list folders ahead of the walk, roughly in the order
// the walk will need them (last found, first read, like the walk itself).
class ReaderPool {
 public:
  // One arena for each thread.
  ReaderPool(const std::vector<Arena*>& arenas, std::shared_ptr<Node> root, FolderOpener* opener,
             const WalkHooks* hooks)
      : opener_(opener), hooks_(hooks), wake_(wakeUpFor(hooks->events)) {
    stack_.push_back(std::move(root));
    for (Arena* arena : arenas) threads_.emplace_back([this, arena] { run(arena); });
  }
  ~ReaderPool() {
    cancel_ = true;
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    work_.notify_all();
    for (auto& t : threads_) t.join();
  }

  // Waits until node is read, on the walk's event pump (events run) when it
  // has one. This thread never waits for the readers' lock: a reader put off
  // by the system while holding it would hold the window up as long.
  void await(const std::shared_ptr<Node>& node) {
    // Mostly the readers are ahead; when not, a folder takes a few
    // microseconds to list: wait that long before sleeping.
    for (int spin = 0; spin < 1024; ++spin) {
      if (node->read.load(std::memory_order_acquire)) return;
      pause();
    }
    awaited_.store(node.get());
    bool asked = false;
    const auto ready = [&] {
      if (node->read.load()) return true;
      // Not taken by a reader yet: the next one free takes it before the rest.
      if (!asked && mutex_.try_lock()) {
        if (node->state == Node::Pending) {
          urgent_ = node;
          work_.notify_one();
        }
        mutex_.unlock();
        asked = true;
      }
      return false;
    };
    // Until the reader that lists it says so.
    waitOn(hooks_->events, *wake_, ready);
    awaited_.store(nullptr);
  }

 private:
  void run(Arena* arena) {
    ::pthread_setname_np(::pthread_self(), "varnelo-walk");
    Reader reader(arena, opener_, hooks_, &mountOnce_, &mountTypes_, &cancel_);
    std::unique_lock lock(mutex_);
    for (;;) {
      std::shared_ptr<Node> node;
      while (!quit_ && !node) {
        if (urgent_) {
          if (urgent_->state == Node::Pending) node = urgent_;
          urgent_.reset();
        } else if (!stack_.empty()) {
          if (stack_.back()->state == Node::Pending) node = stack_.back();
          stack_.pop_back();
        } else {
          ++idle_;
          work_.wait(lock);
          --idle_;
        }
      }
      if (quit_) return;
      node->state = Node::Reading;
      lock.unlock();
      reader.read(*node);
      lock.lock();
      node->state = Node::Done;
      // This reader takes the first subfolder itself: wake one idle reader
      // for each of the others.
      const auto& subfolders = node->listing->subfolders;
      const size_t wake = std::min(subfolders.empty() ? 0 : subfolders.size() - 1, idle_);
      for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) stack_.push_back(*it);
      // Last: from here on the walk takes the node's lists without the lock.
      node->read.store(1);
      if (awaited_.load() == node.get()) wake_->wake();
      for (size_t n = 0; n < wake; ++n) work_.notify_one();
    }
  }

  FolderOpener* opener_;
  const WalkHooks* hooks_;
  std::mutex mutex_;
  std::condition_variable work_;
  std::vector<std::shared_ptr<Node>> stack_;
  std::shared_ptr<Node> urgent_;
  bool quit_ = false;
  size_t idle_ = 0;                      // readers waiting for work
  std::atomic<Node*> awaited_{nullptr};  // the folder the walk waits for, if it sleeps
  std::shared_ptr<WakeUp> wake_;         // the walk's, to end that sleep
  std::atomic<bool> cancel_{false};
  std::once_flag mountOnce_;
  std::map<dev_t, std::string> mountTypes_;
  std::vector<std::thread> threads_;
};

}  // namespace

int defaultWalkThreads() {
  const unsigned n = std::thread::hardware_concurrency();
  return int(std::clamp(n, 1u, 8u));
}

WalkResult walkFolder(const QByteArray& folder, WalkTarget target, const WalkHooks& hooks, int threads) {
  // First, so that they go last: every node and listing lives in them. The
  // first serves this thread.
  std::vector<std::unique_ptr<Arena>> arenas;
  for (int i = 0; i <= std::max(threads, 0); ++i) arenas.push_back(std::make_unique<Arena>(size_t(1) << 20));

  // The folder as its own path: no trailing "/" (so no "//" in the paths),
  // except for the root of the tree.
  QByteArray rootPath = folder;
  while (rootPath.size() > 1 && rootPath.endsWith('/')) rootPath.chop(1);
  Arena* own = arenas[0].get();
  auto root = std::allocate_shared<Node>(std::pmr::polymorphic_allocator<Node>(own));
  root->name = root->path = keepText(own, rootPath.constData(), size_t(rootPath.size()));
  root->pathFits = rootPath.size() <= kPathMaxBytes;
  root->root = true;

  const auto stop = [&] { return hooks.stopRequested && hooks.stopRequested(); };
  // A turn is offered at every point the hooks name; the pump keeps the pace.
  const auto events = [&] {
    if (hooks.events) hooks.events->offer();
  };

  FolderOpener opener;
  std::once_flag mountOnce;
  std::map<dev_t, std::string> mountTypes;
  std::unique_ptr<Reader> reader;
  std::unique_ptr<ReaderPool> pool;
  if (threads > 0) {
    std::vector<Arena*> readers;
    for (size_t i = 1; i < arenas.size(); ++i) readers.push_back(arenas[i].get());
    pool = std::make_unique<ReaderPool>(readers, root, &opener, &hooks);
  } else {
    reader = std::make_unique<Reader>(own, &opener, &hooks, &mountOnce, &mountTypes, nullptr);
  }

  // The files of each folder in walk order, moved to the arrays at the end.
  const qint64 first = target.found + 1;
  std::vector<Files> batches;

  // Runs work on helper threads while this one lets events run.
  const auto withEvents = [&](const std::vector<std::function<void()>>& work) { runOnHelpers(work, hooks.events); };

  // Moves the files found to the arrays (a million slots take longer than
  // the window may wait: on helpers when there are reader threads).
  const auto fill = [&] {
    if (target.found < first) return;  // nothing found: the arrays stay as they were
    // Both arrays end spanning exactly 1 to found.
    const size_t end = size_t(target.found) + 1;
    const auto grow = [end, first](std::vector<QByteArray>& array) {
      array.resize(size_t(first));
      array.resize(end);
    };
    // The slot of each folder's first file; a stop may have come before the
    // last folder's end.
    std::vector<size_t> start{size_t(first)};
    for (const Files& batch : batches) start.push_back(std::min(end, start.back() + batch.paths.size()));
    const auto move = [&](size_t from, size_t to) {
      for (size_t b = from; b < to; ++b) {
        Files& batch = batches[b];
        for (size_t k = start[b], i = 0; k < start[b + 1]; ++k, ++i) {
          target.extensions[k] = std::move(batch.extensions[i]);
          target.paths[k] = std::move(batch.paths[i]);
          if (threads == 0 && (k & 0x3FFF) == 0) events();
        }
      }
    };
    if (threads == 0) {
      grow(target.extensions);
      grow(target.paths);
      move(0, batches.size());
      return;
    }
    withEvents({[&] { grow(target.extensions); }, [&] { grow(target.paths); }});
    // Runs of folders with about equal numbers of files.
    const size_t parts = size_t(threads);
    std::vector<std::function<void()>> work;
    for (size_t part = 0, b = 0; part < parts; ++part) {
      const size_t until = size_t(first) + (end - size_t(first)) * (part + 1) / parts, from = b;
      while (b < batches.size() && (part + 1 == parts || start[b + 1] <= until)) ++b;
      work.push_back([&move, from, b] { move(from, b); });
    }
    withEvents(work);
  };

  // Lists a folder (or waits for its listing) and counts its files; false
  // when the stop request ended the walk.
  const auto enter = [&](const std::shared_ptr<Node>& node) {
    if (stop()) return false;
    if (pool) pool->await(node);
    else reader->read(*node);
    const size_t files = node->listing->files.paths.size();
    if (files == 0) return true;
    batches.push_back(std::move(node->listing->files));
    for (size_t n = 0; n < files; ++n) {
      ++target.found;
      if (stop()) return false;
      events();
    }
    return true;
  };

  // The folders from the root down to the one being walked, each with the
  // next of its subfolders to enter.
  struct Frame {
    std::shared_ptr<Node> node;
    size_t next = 0;
  };
  std::vector<Frame> frames;
  WalkResult result = WalkResult::Completed;
  if (enter(root)) frames.push_back({root, 0});
  else result = WalkResult::Stopped;
  std::shared_ptr<Node> stoppedAt;  // a folder entered when the stop came
  while (!frames.empty()) {
    Frame& top = frames.back();
    if (top.next == top.node->listing->subfolders.size()) {
      frames.pop_back();
      continue;
    }
    std::shared_ptr<Node> child = std::move(top.node->listing->subfolders[top.next++]);
    if (stop() || (events(), !enter(child))) {
      result = WalkResult::Stopped;
      stoppedAt = std::move(child);
      break;
    }
    frames.push_back({std::move(child), 0});
  }
  // Readers still running ahead stop here, before any folder they may still
  // reach from is freed.
  pool.reset();
  reader.reset();
  releaseTree(std::move(stoppedAt));
  for (Frame& frame : frames) releaseTree(std::move(frame.node));
  releaseTree(std::move(root));
  fill();
  if (threads > 0) {
    // What the walk kept of the folders is given back on a thread of its
    // own: a hundred megabytes take a while, and nothing needs to wait.
    std::thread([arenas = std::move(arenas), batches = std::move(batches)]() mutable {
      batches.clear();  // first: their lists live in the arenas
      arenas.clear();
    }).detach();
  }
  return result;
}

}  // namespace vrn
