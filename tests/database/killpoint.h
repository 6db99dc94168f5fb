#pragma once
// Killing a database write at a chosen step, and pictures of a folder to
// compare before and after.
#include <QByteArray>
#include <QMap>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "database/dbwriter.h"

namespace vrn::testing {

// Every entry under a folder: files by their bytes, folders as "<name>/"
// with their own entries under "<name>/...", links as "-> <target>".
using FolderPicture = QMap<QByteArray, QByteArray>;

inline void pictureInto(const QByteArray& folder, const QByteArray& prefix, FolderPicture* out) {
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return;
  while (dirent* e = ::readdir(dir)) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    const QByteArray path = folder + '/' + e->d_name, name = prefix + e->d_name;
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      out->insert(name + '/', QByteArray());
      pictureInto(path, name + '/', out);
    } else if (S_ISLNK(st.st_mode)) {
      char target[4096];
      const ssize_t n = ::readlink(path.constData(), target, sizeof target);
      out->insert(name, "-> " + QByteArray(target, n > 0 ? n : 0));
    } else {
      QByteArray bytes;
      const int fd = ::open(path.constData(), O_RDONLY);
      char buf[65536];
      for (ssize_t n; fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0;) bytes.append(buf, n);
      if (fd >= 0) ::close(fd);
      out->insert(name, bytes);
    }
  }
  ::closedir(dir);
}

inline FolderPicture pictureOf(const QByteArray& folder) {
  FolderPicture out;
  pictureInto(folder, QByteArray(), &out);
  return out;
}

// Counts the steps of the write that `write` runs, its hook left in place.
inline int countWriteSteps(const std::function<void()>& write) {
  int steps = 0;
  databaseWriteHook() = [&](WriteStep) {
    ++steps;
    return 0;
  };
  write();
  databaseWriteHook() = nullptr;
  return steps;
}

// The kind of each step of the write, in order.
inline std::vector<WriteStep> writeSteps(const std::function<void()>& write) {
  std::vector<WriteStep> steps;
  databaseWriteHook() = [&](WriteStep s) {
    steps.push_back(s);
    return 0;
  };
  write();
  databaseWriteHook() = nullptr;
  return steps;
}

// Runs `write` in a child process that halts at step `at` (counted from 0);
// this process then kills it with SIGKILL, so nothing of the child runs
// after that step. `also`, when given, is the child's hook for every step
// before that one. False when the child ended before reaching it.
inline bool killWriteAtStep(int at, const std::function<void()>& write, const WriteStepHook& also = {}) {
  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    int step = 0;
    databaseWriteHook() = [&](WriteStep s) {
      if (step++ == at) ::raise(SIGSTOP);
      return also ? also(s) : 0;
    };
    write();
    ::_exit(0);
  }
  int status = 0;
  if (::waitpid(pid, &status, WUNTRACED) != pid) return false;
  if (!WIFSTOPPED(status)) return false;
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace vrn::testing
