// The label's files on disk, where writing them fails for real: a file size
// limit, a full file system and a read-only folder each leave the old file
// as it was and nothing half-written beside it, and the save answers false.
// Under strace, the order of the calls that make a write whole. And where
// the files live when $HOME gives no absolute directory.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "x11_settings.h"

namespace tintora {
namespace {

namespace fs = std::filesystem;

// Every file the label writes: a good old content, the save that writes it
// anew, and what that save writes.
struct LabelFile {
  const char* what;
  std::string (*path)(const std::string& configHome);
  const char* old;
  bool (*save)();
  std::string (*fresh)();
};

bool SaveTestPosition() { return SaveWindowPosition(SavedPosition{12, 34}); }
std::string TestPositionText() { return "[Label]\nX=12\nY=34\n"; }
std::string OwnAutostartEntry() {
  return FormatAutostartEntry(OwnExecutablePath().value_or("")).value_or("(no entry)");
}

// Each fresh text is longer than the 12 bytes of the file size limit.
const LabelFile kLabelFiles[] = {
    {"settings", SettingsFilePath, "[Label]\nX=1\nY=2\n", SaveTestPosition, TestPositionText},
    {"autostart entry", AutostartFilePath,
     "[Desktop Entry]\nType=Application\nName=Tintora\nExec=/old/tintora\n", EnableAutostart,
     OwnAutostartEntry},
};

// The option under which this program runs one save and ends, for strace.
constexpr char kSaveOneFile[] = "--save-label-file";

// Sets (null: unsets) an environment variable until the end of the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* was = std::getenv(name)) old_ = was;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string FolderOf(const std::string& path) { return fs::path(path).parent_path().string(); }

// Runs `save` in a child process that `prepare` sets up first. The child's
// exit status: 0 the save answered true, 1 false, 2 `prepare` failed;
// above 128, the signal that ended it.
int SaveInChild(bool (*save)(), const std::function<bool()>& prepare) {
  const pid_t child = fork();
  if (child == 0) {
    if (!prepare()) _exit(2);
    _exit(save() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

constexpr char kChildStatuses[] =
    "0: the save answered true, 1: false, 2: not set up, >128: signal";

class LabelFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tintora-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    root_ = pattern;
    config_ = root_ + "/config";
    configEnv_.emplace("XDG_CONFIG_HOME", config_.c_str());
  }

  void TearDown() override {
    Unmount();
    std::error_code ignored;
    for (const LabelFile& file : kLabelFiles) {
      fs::permissions(FolderOf(file.path(config_)), fs::perms::owner_all, fs::perm_options::add,
                      ignored);
    }
    fs::remove_all(root_, ignored);
    configEnv_.reset();
  }

  std::string PathOf(const LabelFile& file) const { return file.path(config_); }

  void PlaceOldFile(const LabelFile& file) {
    fs::create_directories(FolderOf(PathOf(file)));
    std::ofstream(PathOf(file), std::ios::binary) << file.old;
  }

  // The old file as it was, alone in its folder: no temporary file beside it.
  void ExpectOldFileKept(const LabelFile& file) {
    const std::string path = PathOf(file);
    EXPECT_EQ(ReadWhole(path), file.old) << path;
    EXPECT_EQ(FolderEntries(FolderOf(path)),
              std::vector<std::string>{fs::path(path).filename().string()});
  }

  // A tmpfs of 64 KiB on the config home, in a mount namespace of this
  // process's own, so that no mount outlives it. Needs root.
  bool MountSmallTmpfs() {
    static bool privateNamespace = false;
    if (!privateNamespace) {
      if (unshare(CLONE_NEWNS) != 0) return false;
      if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
      privateNamespace = true;
    }
    fs::create_directories(config_);
    mounted_ = mount("tintora-test", config_.c_str(), "tmpfs", 0, "size=64k,mode=0700") == 0;
    return mounted_;
  }

  void Unmount() {
    if (mounted_) umount2(config_.c_str(), MNT_DETACH);
    mounted_ = false;
  }

  std::string root_;
  std::string config_;
  std::optional<ScopedEnv> configEnv_;
  bool mounted_ = false;
};

TEST_F(LabelFiles, ASaveWritesTheFileWholeAndMakesItsFolder) {
  const mode_t mask = umask(022);
  for (const LabelFile& file : kLabelFiles) {
    SCOPED_TRACE(file.what);
    EXPECT_TRUE(file.save());
    const std::string path = PathOf(file);
    EXPECT_EQ(ReadWhole(path), file.fresh());
    EXPECT_EQ(FolderEntries(FolderOf(path)),
              std::vector<std::string>{fs::path(path).filename().string()});
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);  // as any file of the user's under umask 022
    ASSERT_EQ(stat(FolderOf(path).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
  }
  umask(mask);
}

// A file size limit of 12 bytes stands for a disk that fills up in the
// middle of the write: the first 12 bytes are written, the rest is refused.
TEST_F(LabelFiles, AFileSizeLimitKeepsTheOldFile) {
  for (const LabelFile& file : kLabelFiles) {
    SCOPED_TRACE(file.what);
    PlaceOldFile(file);
    const int status = SaveInChild(file.save, [] {
      std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
      const rlimit limit{12, 12};
      return setrlimit(RLIMIT_FSIZE, &limit) == 0;
    });
    EXPECT_EQ(status, 1) << kChildStatuses;
    ExpectOldFileKept(file);
  }
}

TEST_F(LabelFiles, AFullFileSystemKeepsTheOldFile) {
  for (const LabelFile& file : kLabelFiles) {
    SCOPED_TRACE(file.what);
    if (!MountSmallTmpfs()) {
      GTEST_SKIP() << "mounting a small tmpfs needs root (CAP_SYS_ADMIN); uid " << geteuid() << ": "
                   << std::strerror(errno);
    }
    PlaceOldFile(file);
    // Every page of the file system taken.
    const int filler = open((config_ + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(filler, 0);
    const std::vector<char> block(4096, 'x');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    EXPECT_EQ(errno, ENOSPC);
    close(filler);
    EXPECT_FALSE(file.save());
    ExpectOldFileKept(file);
    Unmount();
  }
}

TEST_F(LabelFiles, AReadOnlyFolderKeepsTheOldFile) {
  // Root passes over permissions: as root the saving child becomes an
  // ordinary user who owns the files.
  constexpr uid_t kNobody = 65534;
  const bool asRoot = geteuid() == 0;
  for (const LabelFile& file : kLabelFiles) {
    SCOPED_TRACE(file.what);
    PlaceOldFile(file);
    const std::string folder = FolderOf(PathOf(file));
    if (asRoot) {
      for (const auto& entry : fs::recursive_directory_iterator(root_)) {
        ASSERT_EQ(lchown(entry.path().c_str(), kNobody, kNobody), 0);
      }
      ASSERT_EQ(lchown(root_.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    const int status = SaveInChild(file.save, [&] {
      if (asRoot && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
        return false;
      }
      // The folder and its file readable, the folder not writable.
      return access(PathOf(file).c_str(), R_OK) == 0 && access(folder.c_str(), W_OK) != 0;
    });
    EXPECT_EQ(status, 1) << kChildStatuses;
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    ExpectOldFileKept(file);
  }
}

// ---- The order of the calls, under strace ------------------------------

std::optional<std::string> ProgramOnPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = folder + "/" + name;
    if (!folder.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// What one traced call did to a file, by path.
struct FileStep {
  enum Kind { Write, Sync, Rename } kind;
  std::string path;  // the file written or synced; the renamed file
  std::string to;    // where a rename put it
  long bytes;        // written
};

std::string Unquoted(const std::string& argument) {
  if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"') {
    return argument.substr(1, argument.size() - 2);
  }
  return argument;
}

// strace's lines ("PID  name(arguments) = result") as steps on paths: the
// file descriptors of openat are followed to their paths until close.
std::vector<FileStep> FileStepsOf(const std::string& log) {
  static const std::regex kCall(R"(^(?:\d+\s+)?(\w+)\((.*)\)\s+= (-?\d+))");
  static const std::regex kArgument(R"("(?:[^"\\]|\\.)*"|[^,\s][^,]*)");
  std::map<long, std::string> open;
  std::vector<FileStep> steps;
  std::stringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    std::smatch call;
    if (!std::regex_search(line, call, kCall)) continue;
    const std::string name = call[1];
    const std::string text = call[2];
    const long result = std::stol(call[3]);
    std::vector<std::string> args;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kArgument);
         it != std::sregex_iterator(); ++it) {
      args.push_back(it->str());
    }
    const auto fd = [&](std::size_t i) {
      return i < args.size() ? std::atol(args[i].c_str()) : -1;
    };
    if (name == "openat" && result >= 0 && args.size() >= 2) {
      open[result] = Unquoted(args[1]);
    } else if (name == "close") {
      open.erase(fd(0));
    } else if (name == "write" && open.count(fd(0)) != 0) {
      steps.push_back({FileStep::Write, open[fd(0)], "", result});
    } else if ((name == "fsync" || name == "fdatasync") && result == 0 && open.count(fd(0)) != 0) {
      steps.push_back({FileStep::Sync, open[fd(0)], "", 0});
    } else if (name == "rename" && result == 0 && args.size() >= 2) {
      steps.push_back({FileStep::Rename, Unquoted(args[0]), Unquoted(args[1]), 0});
    } else if ((name == "renameat" || name == "renameat2") && result == 0 && args.size() >= 4) {
      steps.push_back({FileStep::Rename, Unquoted(args[1]), Unquoted(args[3]), 0});
    }
  }
  return steps;
}

// Written to a temporary file in the same folder, synced, renamed into
// place, and the folder synced, so that after a crash either the old file
// or the whole new one is found.
TEST_F(LabelFiles, TheDataReachesTheDiskBeforeTheRename) {
  const std::optional<std::string> strace = ProgramOnPath("strace");
  if (!strace) GTEST_SKIP() << "strace is not installed (scripts/setup.sh installs it)";
  const std::optional<std::string> self = OwnExecutablePath();
  ASSERT_TRUE(self);
  for (std::size_t i = 0; i < std::size(kLabelFiles); ++i) {
    const LabelFile& file = kLabelFiles[i];
    SCOPED_TRACE(file.what);
    const std::string log = root_ + "/strace.log";
    const std::string index = std::to_string(i);
    std::vector<const char*> argv = {
        strace->c_str(),
        "-f",
        "-qq",
        "-e",
        "signal=none",
        "-o",
        log.c_str(),
        "-e",
        "trace=openat,write,fsync,fdatasync,close,?rename,renameat,?renameat2",
        self->c_str(),
        kSaveOneFile,
        index.c_str(),
        nullptr};
    const pid_t child = fork();
    if (child == 0) {
      execv(argv[0], const_cast<char* const*>(argv.data()));
      _exit(127);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "strace, or the save under it, failed (wait status " << status << "):\n"
        << ReadWhole(log);

    const std::vector<FileStep> steps = FileStepsOf(ReadWhole(log));
    const std::string path = PathOf(file);
    const std::string folder = FolderOf(path);
    const auto rename = std::find_if(steps.begin(), steps.end(), [&](const FileStep& s) {
      return s.kind == FileStep::Rename && s.to == path;
    });
    ASSERT_NE(rename, steps.end()) << "no rename onto " << path << " in\n" << ReadWhole(log);
    const std::string temporary = rename->path;
    EXPECT_EQ(FolderOf(temporary), folder);
    EXPECT_NE(temporary, path);
    long written = 0;
    auto lastWrite = steps.end();
    for (auto s = steps.begin(); s != steps.end(); ++s) {
      if (s->kind != FileStep::Write || s->path != temporary) continue;
      EXPECT_TRUE(s < rename) << "a write after the rename";
      written += s->bytes;
      lastWrite = s;
    }
    ASSERT_NE(lastWrite, steps.end()) << "nothing written to " << temporary;
    EXPECT_EQ(written, static_cast<long>(file.fresh().size()));
    const auto synced = [&](auto from, auto to, const std::string& what) {
      return std::any_of(
          from, to, [&](const FileStep& s) { return s.kind == FileStep::Sync && s.path == what; });
    };
    EXPECT_TRUE(synced(lastWrite, rename, temporary)) << "the file not synced before the rename";
    EXPECT_TRUE(synced(rename, steps.end(), folder)) << "the folder not synced after the rename";
    EXPECT_EQ(ReadWhole(path), file.fresh());
    fs::remove(log);
  }
}

// ---- Where the files live ----------------------------------------------

TEST(UserConfigHome, WithoutAnAbsoluteHomeThePasswordDatabaseGivesIt) {
  const passwd* entry = getpwuid(getuid());
  ASSERT_NE(entry, nullptr);
  const std::string fromDatabase = std::string(entry->pw_dir) + "/.config";
  ASSERT_EQ(fromDatabase.rfind("/", 0), 0u) << fromDatabase;
  struct Case {
    const char* xdg;  // null: unset
    const char* home;
    const char* expected;  // null: the password database's home
  } cases[] = {
      {nullptr, nullptr, nullptr},
      {nullptr, "", nullptr},
      {nullptr, "relative/home", nullptr},
      {"relative/config", "", nullptr},  // a relative $XDG_CONFIG_HOME is ignored
      {"", ".", nullptr},
      {nullptr, "/h", "/h/.config"},
      {"relative/config", "/h", "/h/.config"},
      {"/x/config", nullptr, "/x/config"},
  };
  for (const Case& c : cases) {
    const ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    const ScopedEnv home("HOME", c.home);
    EXPECT_EQ(UserConfigHome().value_or("(none)"), c.expected ? c.expected : fromDatabase)
        << "XDG_CONFIG_HOME " << (c.xdg ? c.xdg : "unset") << ", HOME "
        << (c.home ? c.home : "unset");
  }
}

// One save of kLabelFiles[index], for the strace test. _exit: the leak
// checker of the sanitizer build cannot run under a tracer.
[[noreturn]] void SaveOneLabelFile(const char* index) {
  const std::size_t i = static_cast<std::size_t>(std::atoi(index));
  _exit(i < std::size(kLabelFiles) && kLabelFiles[i].save() ? 0 : 1);
}

}  // namespace
}  // namespace tintora

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], tintora::kSaveOneFile) == 0) {
    tintora::SaveOneLabelFile(argv[2]);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
