#include "database/walk.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/magic.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

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

QByteArray ExtensionValues::intern(const QByteArray& lowered) {
  std::lock_guard lock(mutex_);
  const std::string key(lowered.constData(), size_t(lowered.size()));
  return values_.try_emplace(key, lowered).first->second;
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
  QByteArray lowered = lowerExtension(ext, &characters);
  if (characters < 1 || characters > kExtensionMaxChars) return ExtensionVerdict::Length;
  if (values_) lowered = values_->intern(lowered);
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
    case PROC_SUPER_MAGIC: case SYSFS_MAGIC: case DEVPTS_SUPER_MAGIC: case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC: case SECURITYFS_MAGIC: case DEBUGFS_MAGIC: case TRACEFS_MAGIC:
    case PSTOREFS_MAGIC: case BPF_FS_MAGIC: case 0x62656570 /* configfs */:
    case 0x65735543 /* fusectl */: case 0x19800202 /* mqueue */: case HUGETLBFS_MAGIC:
    case BINFMTFS_MAGIC: case AUTOFS_SUPER_MAGIC:
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

struct FileSlot {
  QByteArray extension;
  QByteArray path;
};

// One folder of the walk: its listing once read.
struct Node {
  QByteArray path;
  dev_t parentDev = 0;
  bool root = false;
  enum State { Pending, Reading, Done };
  State state = Pending;  // guarded by the reader pool's mutex when there is one
  std::vector<FileSlot> files;
  std::vector<std::shared_ptr<Node>> subfolders;
};

// Opens a folder without following a link in its last component (except for
// the walk's own root). Paths longer than the system allows are opened one
// component at a time.
int openFolder(const QByteArray& path, bool root) {
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (root ? 0 : O_NOFOLLOW);
  if (path.size() < PATH_MAX) {
    const int fd = ::open(path.constData(), flags);
    if (fd >= 0 || errno != ENAMETOOLONG) return fd;
  }
  int dirfd = ::open(path.startsWith('/') ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const QList<QByteArray> parts = path.split('/');
  qsizetype last = parts.size() - 1;
  while (last >= 0 && parts[last].isEmpty()) --last;
  for (qsizetype i = 0; i <= last && dirfd >= 0; ++i) {
    if (parts[i].isEmpty()) continue;
    const int next = ::openat(dirfd, parts[i].constData(), i == last ? flags : O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(dirfd);
    dirfd = next;
  }
  return dirfd;
}

// Per-thread state for reading folders.
struct Reader {
  ExtensionRule rule;
  std::vector<char> buffer = std::vector<char>(256 * 1024);
  std::string scratch;
  std::once_flag* mountOnce;
  std::map<dev_t, std::string>* mountTypes;
  const std::atomic<bool>* cancel;

  void read(Node& node) {
    const int fd = openFolder(node.path, node.root);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) != 0 ||
        ((node.root || st.st_dev != node.parentDev) && pseudoFileSystem(fd, st.st_dev, mountOnce, mountTypes))) {
      ::close(fd);
      return;
    }
    scratch.assign(node.path.constData(), size_t(node.path.size()));
    if (scratch.empty() || scratch.back() != '/') scratch.push_back('/');
    const size_t prefix = scratch.size();
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
        scratch.resize(prefix);
        scratch.append(name, len);
        if (folder) {
          auto child = std::make_shared<Node>();
          child->path = QByteArray(scratch.data(), qsizetype(scratch.size()));
          child->parentDev = st.st_dev;
          node.subfolders.push_back(std::move(child));
        } else {
          FileSlot& slot = node.files.emplace_back();
          if (rule.classify(scratch, &slot.extension) == ExtensionVerdict::Retained)
            slot.path = QByteArray(scratch.data(), qsizetype(scratch.size()));
        }
      }
    }
    ::close(fd);
    if (failed) {
      node.files.clear();
      node.subfolders.clear();
    }
  }
};

// Reader threads that list folders ahead of the walk, roughly in the order
// the walk will need them (last found, first read, like the walk itself).
class ReaderPool {
 public:
  ReaderPool(int threads, std::shared_ptr<Node> root, ExtensionValues* values) : values_(values) {
    stack_.push_back(std::move(root));
    for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { run(); });
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

  // Waits until node is read, letting events run meanwhile.
  void await(const std::shared_ptr<Node>& node, const std::function<void()>& idle) {
    std::unique_lock lock(mutex_);
    while (node->state != Node::Done) {
      if (node->state == Node::Pending) {
        urgent_ = node;
        work_.notify_one();
      }
      done_.wait_for(lock, std::chrono::milliseconds(3));
      if (node->state != Node::Done && idle) {
        lock.unlock();
        idle();
        lock.lock();
      }
    }
  }

 private:
  void run() {
    Reader reader{ExtensionRule(values_), std::vector<char>(256 * 1024), {}, &mountOnce_, &mountTypes_, &cancel_};
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
          work_.wait(lock);
        }
      }
      if (quit_) return;
      node->state = Node::Reading;
      lock.unlock();
      reader.read(*node);
      lock.lock();
      node->state = Node::Done;
      for (auto it = node->subfolders.rbegin(); it != node->subfolders.rend(); ++it) stack_.push_back(*it);
      if (!node->subfolders.empty()) work_.notify_all();
      done_.notify_one();
    }
  }

  ExtensionValues* values_;
  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable done_;
  std::vector<std::shared_ptr<Node>> stack_;
  std::shared_ptr<Node> urgent_;
  bool quit_ = false;
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
  // The folder as its own path: no trailing "/" (so no "//" in the paths),
  // except for the root of the tree.
  QByteArray rootPath = folder;
  while (rootPath.size() > 1 && rootPath.endsWith('/')) rootPath.chop(1);
  auto root = std::make_shared<Node>();
  root->path = rootPath;
  root->root = true;

  const auto stop = [&] { return hooks.stopRequested && hooks.stopRequested(); };
  const auto events = [&] {
    if (hooks.letEventsRun) hooks.letEventsRun(target.found);
  };

  std::once_flag mountOnce;
  std::map<dev_t, std::string> mountTypes;
  ExtensionValues values;
  std::unique_ptr<Reader> reader;
  std::unique_ptr<ReaderPool> pool;
  if (threads > 0) pool = std::make_unique<ReaderPool>(threads, root, &values);
  else reader.reset(new Reader{ExtensionRule(&values), std::vector<char>(256 * 1024), {}, &mountOnce, &mountTypes, nullptr});

  // The files of each folder in walk order, moved to the arrays at the end.
  const qint64 first = target.found + 1;
  std::vector<std::vector<FileSlot>> batches;

  // Moves the files found to the arrays, letting events run now and then:
  // a million slots take longer than the window may wait.
  const auto fill = [&] {
    if (target.found < first) return;  // nothing found: the arrays stay as they were
    // Both arrays end spanning exactly 1 to found.
    target.extensions.resize(size_t(first));
    target.paths.resize(size_t(first));
    target.extensions.reserve(size_t(target.found) + 1);
    target.paths.reserve(size_t(target.found) + 1);
    qint64 k = first;
    for (std::vector<FileSlot>& batch : batches) {
      for (FileSlot& slot : batch) {
        if (k > target.found) break;
        target.extensions.emplace_back(std::move(slot.extension));
        target.paths.emplace_back(std::move(slot.path));
        if ((++k & 0x3FFF) == 0) events();
      }
      std::vector<FileSlot>().swap(batch);
    }
  };

  // Lists a folder (or waits for its listing) and counts its files; false
  // when the stop request ended the walk.
  const auto enter = [&](const std::shared_ptr<Node>& node) {
    if (stop()) return false;
    if (pool) pool->await(node, events);
    else reader->read(*node);
    if (node->files.empty()) return true;
    const size_t files = node->files.size();
    batches.push_back(std::move(node->files));
    for (size_t n = 0; n < files; ++n) {
      ++target.found;
      if (stop()) return false;
      events();
    }
    return true;
  };

  struct Frame {
    std::shared_ptr<Node> node;
    size_t next = 0;
  };
  std::vector<Frame> frames;
  WalkResult result = WalkResult::Completed;
  if (enter(root)) frames.push_back({root, 0});
  else result = WalkResult::Stopped;
  root.reset();
  while (!frames.empty()) {
    Frame& top = frames.back();
    if (top.next == top.node->subfolders.size()) {
      frames.pop_back();
      continue;
    }
    std::shared_ptr<Node> child = std::move(top.node->subfolders[top.next++]);
    if (stop() || (events(), !enter(child))) {
      result = WalkResult::Stopped;
      break;
    }
    frames.push_back({std::move(child), 0});
  }
  pool.reset();  // readers still running ahead stop here
  fill();
  return result;
}

}  // namespace vrn
