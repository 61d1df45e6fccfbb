// Saving a file through a temporary file: the old file survives every failure, and what the
// folder or the old file refuses is met by writing in place.
#include "toolkit/replace_file.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "toolkit/errors.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// The user the permission tests run as when the tests run as root, whom permissions do not bind.
constexpr uid_t kNobody = 65534;

// A writer of fixed bytes.
std::function<void(TStream&)> Writer(const Bytes& bytes) {
  return [bytes](TStream& out) { out.WriteBuffer(bytes.data(), bytes.size()); };
}

// The bytes as pieces of 1 to 7 bytes, with empty ones among them: more pieces than one
// gathering write takes.
TFilePieces Pieces(const Bytes& bytes) {
  TFilePieces pieces;
  for (std::size_t at = 0, k = 0; at < bytes.size(); ++k) {
    const std::size_t n = std::min(bytes.size() - at, k % 8);
    pieces.emplace_back(bytes.data() + at, n);
    at += n;
  }
  return pieces;
}

// About 5 KB of varied bytes: longer than the old files the tests start from.
Bytes NewBytes() {
  Bytes out(5000);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return out;
}

struct stat Stat(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

// Runs body in a child process as the user nobody: 0 when it returned, 1 when it raised
// EFCreateError, another value for anything else.
int RunAsNobody(const std::function<void()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0)
      ::_exit(3);
    try {
      body();
      ::_exit(0);
    } catch (const EFCreateError&) {
      ::_exit(1);
    } catch (...) {
      ::_exit(2);
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ReplaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("pw_replace_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override {
    ::chmod(folder_.c_str(), 0755);
    fs::remove_all(folder_);
  }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {})); }
  fs::path folder_;
};

// Saving through a symbolic link replaces the file it points to and keeps the link.
TEST_F(ReplaceFileTest, SavingThroughALinkWritesItsTarget) {
  fs::create_directory(Path("sub"));
  TMemoryStream(Bytes{'o', 'l', 'd'}).SaveToFile(Path("sub/real.bmp"));
  fs::create_symlink("sub/real.bmp", Path("link.bmp"));
  fs::create_symlink("link.bmp", Path("chain.bmp"));
  fs::create_symlink("sub/new.bmp", Path("dangling.bmp"));
  const Bytes expected = NewBytes();
  for (const char* name : {"link.bmp", "chain.bmp"}) {
    SCOPED_TRACE(name);
    TMemoryStream(Bytes{'o', 'l', 'd'}).SaveToFile(Path("sub/real.bmp"));
    ReplaceFile(Path(name), Writer(expected));
    EXPECT_TRUE(fs::is_symlink(Path(name)));
    EXPECT_EQ(ReadFileBytes(Path("sub/real.bmp")), expected);
  }
  EXPECT_EQ(fs::read_symlink(Path("link.bmp")), "sub/real.bmp");
  // A link to a file that does not exist yet makes that file.
  ReplaceFile(Path("dangling.bmp"), Writer(expected));
  EXPECT_TRUE(fs::is_symlink(Path("dangling.bmp")));
  EXPECT_EQ(ReadFileBytes(Path("sub/new.bmp")), expected);
  EXPECT_EQ(Entries(), 4u);  // sub and three links: no temporary file left behind
  EXPECT_EQ(std::distance(fs::directory_iterator(Path("sub")), {}), 2);
}

// The saved file keeps the permission bits of the file it replaces, setuid, setgid and sticky
// included, and (where the process may set them, as root can) its owner and group.
TEST_F(ReplaceFileTest, SavingKeepsPermissionsAndOwner) {
  const bool root = ::geteuid() == 0;
  const Bytes expected = NewBytes();
  for (const mode_t mode : {0600, 0640, 0755, 0604, 04755, 02750, 01644, 07600}) {
    SCOPED_TRACE(testing::Message() << std::oct << mode);
    const std::string file = Path("kept.bmp");
    TMemoryStream(Bytes{'o', 'l', 'd'}).SaveToFile(file);
    if (root) {
      ASSERT_EQ(::chown(file.c_str(), 1, 2), 0);
    }
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    const struct stat before = Stat(file);
    ReplaceFile(file, Writer(expected));
    const struct stat after = Stat(file);
    EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not written in place
    EXPECT_EQ(after.st_mode & 07777, mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(ReadFileBytes(file), expected);
  }
  EXPECT_EQ(Entries(), 1u);
}

// A new file has the permissions the umask leaves of 0666, as any program's new file.
TEST_F(ReplaceFileTest, ANewFileTakesItsModeFromTheUmask) {
  const mode_t saved = ::umask(0);
  for (const auto& [mask, mode] : {std::pair<mode_t, mode_t>{022, 0644}, {002, 0664}, {027, 0640}}) {
    SCOPED_TRACE(testing::Message() << std::oct << mask);
    ::umask(mask);
    const std::string file = Path("new" + std::to_string(mask) + ".bmp");
    ReplaceFile(file, Writer(NewBytes()));
    EXPECT_EQ(Stat(file).st_mode & 07777, mode);
  }
  ::umask(saved);
}

// A name of up to the longest the folder takes is saved new and saved again by replacing the
// file, however long: the temporary file's name is shortened, never inside a character.
TEST_F(ReplaceFileTest, TheLongestNamesAreSavedNewAndReplaced) {
  std::string accented;
  while (accented.size() < 250) accented += "\xC3\xA9";  // é, two bytes each
  for (const std::string& name : {std::string(255, 'n'), std::string(242, 'm'), accented + ".bmp"}) {
    SCOPED_TRACE(name.size());
    const std::string file = Path(name);
    ReplaceFile(file, Writer(Bytes{'o', 'l', 'd'}));
    const struct stat before = Stat(file);
    ReplaceFile(file, Writer(NewBytes()));
    EXPECT_NE(Stat(file).st_ino, before.st_ino);  // replaced, not written in place
    EXPECT_EQ(ReadFileBytes(file), NewBytes());
    fs::remove(file);
    EXPECT_EQ(Entries(), 0u);
  }
}

// The folder refuses a new file or the rename over the old one (a read-only folder; a sticky
// folder and a file of another user; a read-only mount): the existing file is written in place,
// the same file with its bits. Any other failure to make the temporary file is a failure, and
// the old file stays. The real folders need a user whom permissions bind: as root they run in
// a child process as nobody; the sticky one cannot be built without root.
TEST_F(ReplaceFileTest, WhatTheFolderRefusesIsWrittenInPlace) {
  const bool root = ::geteuid() == 0;
  const Bytes expected = NewBytes();
  const std::string file = Path("inplace.bmp");
  struct Row {
    const char* name;
    mode_t folderMode;  // 0: left as it is
    TReplaceFileSeams seams;
    bool inPlace;  // else the save fails
  };
  TReplaceFileSeams refusing, readOnlyMount, noRoom, tooMany, renameRefused, renameCrossesDevices;
  refusing.folderRefusesNewFiles = true;
  readOnlyMount.createError = EROFS;
  noRoom.createError = ENOSPC;
  tooMany.createError = EMFILE;
  renameRefused.rename = [](const char*, const char*) {
    errno = EPERM;
    return -1;
  };
  renameCrossesDevices.rename = [](const char*, const char*) {
    errno = EXDEV;
    return -1;
  };
  const Row rows[] = {
      {"read-only folder", 0555, {}, true},
      {"sticky folder, another user's file", 01777, {}, true},
      {"seam: no new file", 0, refusing, true},
      {"seam: read-only mount", 0, readOnlyMount, true},
      {"seam: rename refused", 0, renameRefused, true},
      {"seam: no room for a new file", 0, noRoom, false},
      {"seam: too many open files", 0, tooMany, false},
      {"seam: rename across devices", 0, renameCrossesDevices, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const bool sticky = row.folderMode == 01777;
    if (sticky && !root) continue;  // a file of another user needs root to make
    const Bytes old(6000, 'o');     // longer than the new bytes
    TMemoryStream(old).SaveToFile(file);
    ASSERT_EQ(::chmod(file.c_str(), root ? 0666 : 0640), 0);  // as root, nobody may write it
    const struct stat before = Stat(file);
    if (row.folderMode != 0) {
      ASSERT_EQ(::chmod(folder_.c_str(), row.folderMode), 0);
    }
    const auto save = [&] { ReplaceFile(file, Writer(expected), row.seams); };
    if (row.folderMode != 0 && root) {
      EXPECT_EQ(RunAsNobody(save), 0);
    } else if (row.inPlace) {
      EXPECT_NO_THROW(save());
    } else {
      EXPECT_THROW(save(), EFCreateError);
    }
    ::chmod(folder_.c_str(), 0755);
    const struct stat after = Stat(file);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
    EXPECT_EQ(ReadFileBytes(file), row.inPlace ? expected : old);
    EXPECT_EQ(Entries(), 1u);
  }
  // Without an existing file there is nothing to write in place.
  EXPECT_THROW(ReplaceFile(Path("new.bmp"), Writer(expected), refusing), EFCreateError);
  EXPECT_THROW(ReplaceFile(Path("new.bmp"), Writer(expected), renameRefused), EFCreateError);
  EXPECT_EQ(Entries(), 1u);
}

// Bytes given as pieces reach the file in order, whether it is new, replaced or written in place.
TEST_F(ReplaceFileTest, PiecesAreWrittenInOrder) {
  const Bytes expected = NewBytes();
  ASSERT_GT(Pieces(expected).size(), 1024u);
  TReplaceFileSeams refusing;
  refusing.folderRefusesNewFiles = true;
  const std::string file = Path("pieces.bmp");
  for (const TReplaceFileSeams& seams : {TReplaceFileSeams{}, TReplaceFileSeams{}, refusing}) {
    ReplaceFile(file, Pieces(expected), seams);
    EXPECT_EQ(ReadFileBytes(file), expected);
    EXPECT_EQ(Entries(), 1u);
  }
  ReplaceFile(file, TFilePieces{});
  EXPECT_TRUE(ReadFileBytes(file).empty());
}

// A disk that fills up half-way, through a temporary file or in place, and a writer that fails:
// the old file stays whole and no temporary file is left; the disk's failure names the file.
TEST_F(ReplaceFileTest, AFailingWriteLeavesTheOldFileWhole) {
  const Bytes old(3000, 'o');
  const Bytes longer = NewBytes();
  const std::string file = Path("full.bmp");
  std::size_t room = 0;
  TReplaceFileSeams full;
  full.write = [&](int fd, const void* data, std::size_t count) -> long {
    const std::size_t n = std::min(count, room);
    room -= n;
    if (n == 0) {
      errno = ENOSPC;
      return -1;
    }
    return static_cast<long>(::write(fd, data, n));
  };
  for (const bool inPlace : {false, true}) {
    for (const std::size_t fits : {std::size_t{0}, std::size_t{1000}, std::size_t{4000}}) {
      SCOPED_TRACE(testing::Message() << (inPlace ? "in place, " : "temporary file, ") << fits << " bytes fit");
      TMemoryStream(old).SaveToFile(file);
      full.folderRefusesNewFiles = inPlace;
      for (const bool asPieces : {false, true}) {
        room = fits;
        try {
          if (asPieces) ReplaceFile(file, Pieces(longer), full);
          else ReplaceFile(file, Writer(longer), full);
          ADD_FAILURE() << "saved";
        } catch (const EFCreateError& e) {
          EXPECT_EQ(std::string(e.what()), "File " + file + " can't be made.");
        }
        EXPECT_EQ(ReadFileBytes(file), old);
        EXPECT_EQ(Entries(), 1u);
      }
    }
  }
  // The writer's own failure passes through before any file is touched.
  TMemoryStream(old).SaveToFile(file);
  EXPECT_THROW(ReplaceFile(file, [](TStream& out) {
    out.WriteBuffer("BM", 2);
    throw EInvalidGraphic("no picture");
  }), EInvalidGraphic);
  EXPECT_EQ(ReadFileBytes(file), old);
  EXPECT_EQ(Entries(), 1u);
}

// The new bytes reach the disk before they replace the old ones, so that a crash leaves the
// old file or the new one, never an empty one.
TEST_F(ReplaceFileTest, TheTemporaryFileIsFlushedBeforeItReplacesTheOldFile) {
  const std::string file = Path("synced.bmp");
  TMemoryStream(Bytes{'o', 'l', 'd'}).SaveToFile(file);
  std::vector<std::string> calls;
  TReplaceFileSeams seams;
  seams.sync = [&](int fd) {
    struct stat info {};
    ::fstat(fd, &info);
    calls.push_back("sync " + std::to_string(info.st_size));
    return ::fsync(fd);
  };
  seams.rename = [&](const char* from, const char* to) {
    calls.push_back("rename");
    return std::rename(from, to);
  };
  ReplaceFile(file, Writer(NewBytes()), seams);
  EXPECT_EQ(calls, (std::vector<std::string>{"sync 5000", "rename"}));
  // A flush that fails is a failed save.
  seams.sync = [](int) {
    errno = EIO;
    return -1;
  };
  EXPECT_THROW(ReplaceFile(file, Writer(Bytes{'n'}), seams), EFCreateError);
  EXPECT_EQ(ReadFileBytes(file), NewBytes());
  EXPECT_EQ(Entries(), 1u);
}

// A pipe is written into, not replaced by a file. The test holds the pipe open at both ends
// itself, so that neither the save nor the reading waits.
TEST_F(ReplaceFileTest, APipeWithAReaderIsWrittenIntoAndStaysAPipe) {
  const std::string pipe = Path("pipe.bmp");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const int reader = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  EXPECT_NO_THROW(ReplaceFile(pipe, Writer(NewBytes())));
  Bytes received;
  std::uint8_t chunk[1024];
  for (long n; (n = ::read(reader, chunk, sizeof chunk)) > 0;) received.insert(received.end(), chunk, chunk + n);
  ::close(reader);
  EXPECT_EQ(received, NewBytes());
  EXPECT_TRUE(S_ISFIFO(Stat(pipe).st_mode));
  EXPECT_EQ(Entries(), 1u);
}

// A prepared file that is dropped leaves the old file and nothing else; a committed one is
// in place, and committing it again changes nothing.
TEST_F(ReplaceFileTest, APreparedFileTakesEffectOnlyWhenCommitted) {
  const std::string file = Path("pending.bmp");
  TMemoryStream(Bytes{'o', 'l', 'd'}).SaveToFile(file);
  {
    TPendingFile dropped = PrepareFile(file, Writer(NewBytes()));
    TPendingFile moved = PrepareFile(Path("other.bmp"), Writer(NewBytes()));
    moved = std::move(dropped);  // the other file's temporary is removed here
    EXPECT_EQ(Entries(), 2u);   // the old file and one temporary file
  }
  EXPECT_EQ(ReadFileBytes(file), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(Entries(), 1u);
  TPendingFile pending = PrepareFile(file, Writer(NewBytes()));
  pending.Commit();
  EXPECT_EQ(ReadFileBytes(file), NewBytes());
  TMemoryStream(Bytes{'o', 'l', 'd'}).SaveToFile(file);
  pending.Commit();
  EXPECT_EQ(ReadFileBytes(file), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(Entries(), 1u);
}

// A run ended by a signal takes its unfinished files with it: files made and committed stay,
// files prepared and not yet in place vanish, the old file stays as it was, and the process
// ends as the signal ends it.
TEST_F(ReplaceFileTest, AnInterruptedRunLeavesNoTemporaryFile) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    TMemoryStream(Bytes{'o', 'l', 'd'}).SaveToFile(Path("old.bmp"));
    const pid_t pid = ::fork();
    if (pid == 0) {
      RemoveTemporaryFilesOnInterrupt();
      ReplaceFile(Path("done.bmp"), Writer(NewBytes()));
      TPendingFile first = PrepareFile(Path("old.bmp"), Writer(NewBytes()));
      TPendingFile second = PrepareFile(Path("new.bmp"), Writer(NewBytes()));
      ::kill(::getpid(), signal);
      for (int i = 0; i < 100; ++i) ::usleep(50000);
      ::_exit(0);  // the signal never came
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    if (WIFSIGNALED(status)) {
      EXPECT_EQ(WTERMSIG(status), signal);
    }
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"done.bmp", "old.bmp"}));
    EXPECT_EQ(ReadFileBytes(Path("old.bmp")), (Bytes{'o', 'l', 'd'}));
  }
}

}  // namespace
}  // namespace pw
