// Hives on a full disk, for real: small file systems mounted for the test (tmpfs, and ext4 with
// 1 KiB blocks, where a page of the hive's shared memory can be partly allocated), filled up,
// and several processes opening, reading and writing the hive on them. Mounting needs root;
// without it the tests are skipped.
#include "HiveTestSupport.h"

#include <gmock/gmock.h>

#include <sys/mount.h>
#include <sys/wait.h>

#include <memory>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

int Run(const std::vector<std::string>& Args) {
  std::vector<char*> Argv;
  std::vector<std::string> Copy = Args;
  for (std::string& A : Copy)
    Argv.push_back(A.data());
  Argv.push_back(nullptr);
  pid_t Pid = 0;
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
  int Rc = ::posix_spawnp(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  if (Rc != 0)
    return -1;
  int Status = 0;
  while (::waitpid(Pid, &Status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

// A file system of its own, mounted on a folder of Temp for the life of the object.
class TMounted {
public:
  // Type "tmpfs" (Size bytes), or "ext4" with 1 KiB blocks in an image of Size bytes.
  TMounted(const TTempDir& Temp, const std::string& Type, long Size) : FDir(Temp.File("mnt")) {
    std::filesystem::create_directory(FDir);
    if (Type == "tmpfs") {
      FMounted =
          ::mount("tmpfs", FDir.c_str(), "tmpfs", 0, ("size=" + std::to_string(Size)).c_str()) == 0;
    } else {
      const std::string Image = Temp.File("fs.img");
      FMounted = WriteImage(Image, Size) &&
                 Run({"mkfs.ext4", "-q", "-F", "-b", "1024", "-m", "0", Image}) == 0 &&
                 Run({"mount", "-o", "loop", Image, FDir}) == 0;
    }
  }
  ~TMounted() {
    if (FMounted)
      ::umount2(FDir.c_str(), MNT_DETACH);
  }
  TMounted(const TMounted&) = delete;
  TMounted& operator=(const TMounted&) = delete;

  bool Mounted() const { return FMounted; }
  std::string File(const std::string& Name) const { return FDir + "/" + Name; }

  // Fills the file system up, leaving Free bytes of it (about: what a file of that size took).
  void Fill(long Free) {
    Remove("fill");
    Remove("spare");
    WriteUntilFull(File("spare"), Free);
    WriteUntilFull(File("fill"), -1);
    Remove("spare");
    ::sync();
  }
  void Remove(const std::string& Name) { ::unlink(File(Name).c_str()); }

private:
  static bool WriteImage(const std::string& Image, long Size) {
    int Fd = ::open(Image.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool Ok = Fd >= 0 && ::ftruncate(Fd, Size) == 0;
    if (Fd >= 0)
      ::close(Fd);
    return Ok;
  }
  // Writes 1 KiB blocks into File until Bytes are written (-1: until the disk is full).
  static void WriteUntilFull(const std::string& File, long Bytes) {
    int Fd = ::open(File.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(Fd, 0);
    const std::string Block(1024, 'x');
    for (long Done = 0; Bytes < 0 || Done < Bytes; Done += 1024)
      if (::write(Fd, Block.data(), Block.size()) != static_cast<ssize_t>(Block.size()))
        break;
    ::fsync(Fd);
    ::close(Fd);
  }

  std::string FDir;
  bool FMounted = false;
};

const std::string Key = "Software\\Orvik\\Palette Menu";

// How a worker ended: what it printed, or how it died.
std::string Outcome(TWorker& W) {
  std::string Out = W.ReadAll();
  int Status = W.Wait();
  if (WIFSIGNALED(Status))
    return "killed by signal " + std::to_string(WTERMSIG(Status));
  return Out;
}

// Several processes at once on the hive on the full disk: the readers get the value, the writers
// either write (when the space left sufficed) or fail with a message naming the hive and saying
// the disk is full. Nothing dies.
void ExpectReadableAndRefusingWrites(const std::string& Hive, const std::string& Value,
                                     const std::string& When) {
  std::vector<std::unique_ptr<TWorker>> Readers, Writers;
  for (int I = 0; I < 3; ++I)
    Readers.push_back(std::make_unique<TWorker>(std::vector<std::string>{"read", Hive, Key, "V"}));
  for (int I = 0; I < 2; ++I)
    Writers.push_back(std::make_unique<TWorker>(
        std::vector<std::string>{"set", Hive, Key, "W" + std::to_string(I), "written"}));
  for (auto& R : Readers)
    EXPECT_EQ(Outcome(*R), Value + "\n") << When;
  for (auto& W : Writers) {
    const std::string Said = Outcome(*W);
    if (Said == "set\n")
      continue;
    EXPECT_THAT(Said, HasSubstr("'" + Hive + "'")) << When;
    EXPECT_THAT(Said, HasSubstr("disk is full")) << When;
  }
}

TEST(HiveOnAFullDisk, NoProcessDiesOfSigbusWhereTheSharedMemoryCanBeOnlyPartlyAllocated) {
  TTempDir Temp;
  TMounted Fs(Temp, "ext4", 4 << 20);
  if (!Fs.Mounted())
    GTEST_SKIP() << "cannot make and mount an ext4 file system here (needs root and loop devices)";
  const std::string Hive = Fs.File("HKCU.db");
  ASSERT_EQ(RunWorker({"set", Hive, Key, "V", "kept"}), "set\n");
  // With a few KiB free, SQLite's own growth of the shared memory (one byte per 4 KiB page)
  // succeeds, each byte taking one 1 KiB block, and the rest of each page is a hole the file
  // system cannot fill once SQLite writes there through its mapping.
  for (long Free = 2 << 10; Free <= 40 << 10; Free += 1 << 10) {
    Fs.Remove("HKCU.db-shm");
    Fs.Remove("HKCU.db-wal");
    Fs.Fill(Free);
    ExpectReadableAndRefusingWrites(Hive, "kept", std::to_string(Free) + " bytes left");
  }
  Fs.Remove("fill");
  EXPECT_EQ(RunWorker({"set", Hive, Key, "V", "after"}), "set\n");
  EXPECT_EQ(RunWorker({"read", Hive, Key, "V"}), "after\n");
}

TEST(HiveOnAFullDisk, ProcessesReadWhatIsThereAndWritesFailNamingTheHiveUntilThereIsSpace) {
  TTempDir Temp;
  TMounted Fs(Temp, "tmpfs", 1 << 20);
  if (!Fs.Mounted())
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
  const std::string Hive = Fs.File("HKCU.db");
  ASSERT_EQ(RunWorker({"set", Hive, Key, "V", "kept"}), "set\n");
  ASSERT_EQ(RunWorker({"set", Hive, "Software\\Loop", "N1", "1"}), "set\n");
  Fs.Fill(0);
  ExpectReadableAndRefusingWrites(Hive, "kept", "full disk, no journal");
  // A process that holds the hive open while the others come and go on the full disk.
  {
    TWorker Holder({"readloop", Hive, "Software\\Loop", "1500"});
    ExpectReadableAndRefusingWrites(Hive, "kept", "full disk, hive held open");
    const std::string Said = Outcome(Holder);
    EXPECT_THAT(Said, Not(HasSubstr("error"))) << Said;
  }
  // A new hive on the full disk is refused, naming it, and leaves nothing behind.
  const std::string New = Fs.File("new.db");
  EXPECT_THAT(RunWorker({"set", New, Key, "V", "x"}), HasSubstr("worker failed"));
  EXPECT_FALSE(std::filesystem::exists(New));
  // Once there is space, writing works again and nothing written before was lost.
  Fs.Remove("fill");
  EXPECT_EQ(RunWorker({"set", Hive, Key, "V", "after"}), "set\n");
  EXPECT_EQ(RunWorker({"read", Hive, Key, "V"}), "after\n");
  EXPECT_EQ(IntegrityCheck(Hive), "ok");
}

} // namespace
