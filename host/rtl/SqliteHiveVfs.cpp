// The hive's own file layer over SQLite's default one. It does three things the default layer
// does not:
//  - the shared memory beside a hive (`-shm`) is allocated on the disk before SQLite maps it, so
//    that a full disk is an error rather than a SIGBUS when SQLite later writes into a page the
//    file system cannot give; a connection that cannot allocate it reads the hive with an index
//    of its own in memory and changes nothing;
//  - every page of a hive made with room for it (8 bytes reserved at the end of each page)
//    carries a checksum, written with the page into the file and the journal and compared on
//    every read of it from the disk, so that a damaged page is an error naming the file rather than
//    values silently changed. Hives without that room are read and written as before;
//  - the pages a connection read are kept while the shared index shows that they cannot have
//    changed, so that the pages SQLite reads again after another connection's commit come from
//    memory (see "pages kept in memory" below).
#include "rtl/SqliteHiveHooks.h"
#include "rtl/SqliteHive_p.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace SqliteHiveDetail {

namespace {

// --- page checksums ----------------------------------------------------------------------------

// Little-endian, whatever the machine, so that a hive moves between machines.
uint64_t Load64(const unsigned char* P) {
  uint64_t V;
  std::memcpy(&V, P, 8);
  if constexpr (std::endian::native == std::endian::big)
    V = __builtin_bswap64(V);
  return V;
}

void Store64(unsigned char* P, uint64_t V) {
  for (int I = 0; I < 8; ++I, V >>= 8)
    P[I] = static_cast<unsigned char>(V);
}

// A checksum of the page's bytes but its last 8 (where it is kept): two running sums over the
// page's 64-bit words, so that every word and its place count, mixed into one value.
//
// The sums are those of the chain "A += word; B += A" over the words in order, computed four
// words at a time: lane R (R = 0..3) runs the same chain over words 4M + R alone, giving a_R and
// b_R. A word J (1-based) of the whole chain is added into B n - J + 1 times (n words); in lane R
// it is added n/4 - M + 1 times, i.e. (n - J + 1 + R) / 4. So, exactly (modulo 2^64), over a
// prefix of 4k words: A = A0 + sum(a_R), B = B0 + n * A0 + sum(4 * b_R - R * a_R). The rest of
// the words go through the chain itself. Hives written before keep matching.
uint64_t PageChecksum(const unsigned char* Page, int Size) {
  uint64_t A = 0x9E3779B97F4A7C15ull, B = 0x2545F4914F6CDD1Dull;
  const int Words = (Size - HiveChecksumBytes) / 8;
  int I = 0;
  if constexpr (std::endian::native == std::endian::little) {
    typedef uint64_t TLanes __attribute__((vector_size(32)));
    const int Prefix = Words & ~3;
    TLanes La{}, Lb{};
    for (; I < Prefix; I += 4) {
      TLanes W;
      std::memcpy(&W, Page + 8 * I, sizeof W);
      La += W;
      Lb += La;
    }
    const uint64_t N = static_cast<uint64_t>(Prefix);
    B += N * A + 4 * (Lb[0] + Lb[1] + Lb[2] + Lb[3]) - (La[1] + 2 * La[2] + 3 * La[3]);
    A += La[0] + La[1] + La[2] + La[3];
  }
  for (; I < Words; ++I) {
    A += Load64(Page + 8 * I);
    B += A;
  }
  return A ^ (B * 0xBF58476D1CE4E5B9ull) ^ (B >> 31);
}

bool PageMatches(const unsigned char* Page, int Size) {
  return Load64(Page + Size - HiveChecksumBytes) == PageChecksum(Page, Size);
}

bool IsPageSize(int N) {
  return N >= 512 && N <= 65536 && (N & (N - 1)) == 0;
}

const char PageOneMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                               'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

// The journal's header (32 bytes) and each frame's header (24 bytes) before the page.
constexpr int WalHeaderSize = 32;
constexpr int FrameHeaderSize = 24;

// SQLite's checksum of the journal's frames, chained from frame to frame: In (two 32-bit sums)
// over Size bytes read as 32-bit words, little- or big-endian as the journal's header says.
void WalChecksum(bool BigEndian, const unsigned char* Data, int Size, uint32_t Sum[2]) {
  uint32_t S1 = Sum[0], S2 = Sum[1];
  auto Word = [BigEndian](const unsigned char* P) -> uint32_t {
    return BigEndian ? uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3]
                     : uint32_t(P[3]) << 24 | uint32_t(P[2]) << 16 | uint32_t(P[1]) << 8 | P[0];
  };
  for (int I = 0; I + 8 <= Size; I += 8) {
    S1 += Word(Data + I) + S2;
    S2 += Word(Data + I + 4) + S1;
  }
  Sum[0] = S1;
  Sum[1] = S2;
}

uint32_t Get32BigEndian(const unsigned char* P) {
  return uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3];
}

void Put32BigEndian(unsigned char* P, uint32_t V) {
  P[0] = static_cast<unsigned char>(V >> 24);
  P[1] = static_cast<unsigned char>(V >> 16);
  P[2] = static_cast<unsigned char>(V >> 8);
  P[3] = static_cast<unsigned char>(V);
}

// What the layer knows of one database as one connection sees it; shared by the connection's
// file and journal.
struct TDbState {
  // Whether its pages carry checksums: -1 not known yet (no first page seen), 0 no, 1 yes.
  std::atomic<int> Checksums{-1};
  // Times the connection released the journal's write lock: what its journal remembers of the
  // journal's content holds only while this stays the same.
  std::atomic<uint64_t> WriteLocks{0};
  // The first region of the connection's shared memory while it is mapped, else null: pages
  // read are kept (TKeptPages) by a stamp taken from it.
  std::atomic<const volatile unsigned char*> Shm{nullptr};
  // Times what the connection's files keep was dropped (HiveFcntlDropKept).
  std::atomic<uint64_t> Drops{0};
};

// --- pages kept in memory ---------------------------------------------------------------------
//
// After another connection commits, SQLite drops the whole page cache of a connection and reads
// every page again, mostly pages nobody changed. The layer keeps the pages it read (and found
// matching their checksums) by where they lie and by a stamp of the shared index that changes
// whenever what lies there may change, and answers a read of the same place under the same
// stamp from memory:
//  - a frame of the journal, by the salts of the index header: a committed frame never changes
//    while the salts stay (commits append frames, and the journal is written from its start
//    again only after a restart, which draws new salts). SQLite reads a frame only inside a
//    read transaction that uses the journal, during which nobody can restart it; frames past
//    the last commit are not kept (they may be written again under the same salts);
//  - a page of the file, by the salts and the count of frames folded into the file (nBackfill):
//    in a write-ahead journal only a fold writes the file, and it raises that count once its
//    pages are written (a restart draws new salts). SQLite reads a page from the file only when
//    its reader's snapshot has no frame of it in the journal, and a fold never writes such a
//    page while that reader is there.
// Anything read while the stamp moved is not kept. This connection's own writes drop what they
// touch; a new journal header or a truncation drops everything.
struct TStamp {
  uint32_t Salts[2] = {0, 0};
  uint32_t Folded = 0;    // frames folded into the file (file pages only)
  uint32_t LastFrame = 0; // the last committed frame (not part of the stamp)
  bool operator==(const TStamp& O) const {
    return Salts[0] == O.Salts[0] && Salts[1] == O.Salts[1] && Folded == O.Folded;
  }
};

class TKeptPages {
public:
  // The kept page at Offset under Stamp, or null.
  const unsigned char* Find(sqlite3_int64 Offset, const TStamp& Stamp, int Size) const {
    const TSlot& S = FSlots[SlotOf(Offset, Size)];
    return S.Offset == Offset && S.Size == Size && S.Stamp == Stamp ? S.Page.get() : nullptr;
  }
  void Keep(sqlite3_int64 Offset, const TStamp& Stamp, const void* Page, int Size) {
    TSlot& S = FSlots[SlotOf(Offset, Size)];
    if (!S.Page || S.Size != Size)
      S.Page.reset(new unsigned char[static_cast<size_t>(Size)]);
    std::memcpy(S.Page.get(), Page, static_cast<size_t>(Size));
    S.Offset = Offset;
    S.Size = Size;
    S.Stamp = Stamp;
  }
  // Forgets what lies in [Offset, Offset + Amount).
  void Drop(sqlite3_int64 Offset, int Amount) {
    for (TSlot& S : FSlots)
      if (S.Offset >= 0 && S.Offset < Offset + Amount && Offset < S.Offset + S.Size)
        S.Offset = -1;
  }
  void Clear() {
    for (TSlot& S : FSlots)
      S.Offset = -1;
  }

private:
  // Direct-mapped by page (or frame) number: a read touches a few pages of each table.
  static constexpr size_t Slots = 64;
  struct TSlot {
    sqlite3_int64 Offset = -1;
    int Size = 0;
    TStamp Stamp;
    std::unique_ptr<unsigned char[]> Page;
  };
  static size_t SlotOf(sqlite3_int64 Offset, int Size) {
    return static_cast<size_t>(Offset / Size) % Slots;
  }
  TSlot FSlots[Slots];
};

// The damaged page a read of this thread found last, until it is taken for a message. Plain
// data, so that it outlives the thread's destructors: a hive may be closed, and read, by a static
// object's destructor at exit, after them.
struct TLastDamage {
  bool Found = false;
  bool Journal = false;
  long long Page = 0;
  char File[4096] = {};
};
thread_local TLastDamage LastDamage;

// --- the shared memory ---------------------------------------------------------------------------

thread_local bool ShmNoSpace = false;

using TMmap = void* (*)(void*, size_t, int, int, int, off_t);
TMmap RealMmap = nullptr;

// The file behind each mapping of a shared memory, by the mapping's address: SQLite may go on
// using a shared memory whose path now names another file (one process maps it once for all its
// connections), and the hive must know which file it really uses.
std::mutex MappedLock;
std::unordered_map<const void*, TFileIdentity> Mapped;

// SQLite's default layer maps the shared memory's regions through this: a writable shared
// mapping is first allocated on the disk, so that writing into it can never meet a page the file
// system cannot give (SIGBUS). A file system without allocation is mapped as before.
void* HiveMmap(void* Addr, size_t Length, int Prot, int Flags, int Fd, off_t Offset) {
  if ((Flags & MAP_SHARED) && (Prot & PROT_WRITE) && Fd >= 0 &&
      ::fallocate(Fd, FALLOC_FL_KEEP_SIZE, Offset, static_cast<off_t>(Length)) != 0 &&
      (errno == ENOSPC || errno == EDQUOT)) {
    ShmNoSpace = true;
    errno = ENOSPC;
    return MAP_FAILED;
  }
  void* P = RealMmap(Addr, Length, Prot, Flags, Fd, Offset);
  struct stat St;
  if (P != MAP_FAILED && (Flags & MAP_SHARED) && Fd >= 0 && ::fstat(Fd, &St) == 0) {
    std::lock_guard<std::mutex> G(MappedLock);
    Mapped[P] = {static_cast<uint64_t>(St.st_dev), static_cast<uint64_t>(St.st_ino)};
  }
  return P;
}

// --- the layer's files ---------------------------------------------------------------------------

enum TKind { OtherFile, MainFile, JournalFile };

struct TFile {
  sqlite3_file Base;
  sqlite3_file* Real;
  TKind Kind;
  const char* Name;                // as SQLite named it (the database's name for a main file)
  std::shared_ptr<TDbState> State; // main files and journals
  bool ShmFull = false;            // main: the shared memory could not be allocated
  TFileIdentity ShmId;             // main: the file of the shared memory mapped (Inode 0: none)
  bool ShmLooked = false;          // main: ShmId looked for
  // Main: the connection's hold of the journal's write lock (HiveFcntlWriteLock).
  THiveWriteLock WriteLock;
  // Journal, what it last wrote while holding the write lock (State->WriteLocks was Held):
  // the journal's header, the last frame header (at FrameAt) and the checksum chain after the
  // last page (at ChainAt); offsets 0: none.
  uint64_t Held = 0;
  bool HaveHeader = false;
  unsigned char Header[WalHeaderSize] = {};
  sqlite3_int64 FrameAt = 0;
  unsigned char Frame[FrameHeaderSize] = {};
  sqlite3_int64 ChainAt = 0;
  uint32_t Chain[2] = {0, 0};
  std::vector<unsigned char> Copy;  // a page written with its checksum, kept for the file's life
  std::unique_ptr<TKeptPages> Kept; // pages read, while their stamp holds
  uint64_t Drops = 0;               // State->Drops when Kept was last emptied
};

// Never destroyed: a hive closed by a static object's destructor at exit still finds them.
std::mutex MainsLock;
std::vector<TFile*>& Mains = *new std::vector<TFile*>;

TFile* Of(sqlite3_file* F) {
  return reinterpret_cast<TFile*>(F);
}
sqlite3_file* Real(sqlite3_file* F) {
  return Of(F)->Real;
}
const sqlite3_io_methods* RealMethods(sqlite3_file* F) {
  return Real(F)->pMethods;
}

// Where a page lies in the file, or -1: SQLite reads and writes whole pages at multiples of the
// page size in the database, and after each frame's header in the journal.
sqlite3_int64 PageNumberAt(const TFile& F, int Amount, sqlite3_int64 Offset) {
  if (!IsPageSize(Amount))
    return -1;
  if (F.Kind == MainFile)
    return Offset % Amount == 0 ? Offset / Amount + 1 : -1;
  if (F.Kind == JournalFile && Offset >= WalHeaderSize + FrameHeaderSize &&
      (Offset - WalHeaderSize) % (Amount + FrameHeaderSize) == FrameHeaderSize)
    return (Offset - WalHeaderSize) / (Amount + FrameHeaderSize) + 1;
  return -1;
}

// The first page of a database says whether its pages carry checksums: 8 bytes reserved at the
// end of each page (byte 20 of its header).
void SeeHeader(TFile& F, const unsigned char* Data, int Amount) {
  if (!F.State || Amount < 21 || std::memcmp(Data, PageOneMagic, sizeof PageOneMagic) != 0)
    return;
  F.State->Checksums = Data[20] == HiveChecksumBytes ? 1 : 0;
}

bool Checksummed(const TFile& F) {
  return F.State && F.State->Checksums == 1;
}

int Close(sqlite3_file* F) {
  TFile* S = Of(F);
  if (S->Kind == MainFile) {
    std::lock_guard<std::mutex> G(MainsLock);
    Mains.erase(std::remove(Mains.begin(), Mains.end(), S), Mains.end());
  }
  int Rc = RealMethods(F)->xClose(Real(F));
  S->~TFile();
  return Rc;
}

// The stamp of the shared index (the salts and the last committed frame of its header, the
// frames folded into the file), when the shared memory is mapped and its header is not being
// rewritten right now. 32-bit words in the machine's order.
bool ShmStamp(const TFile& S, TStamp& Out) {
  const volatile unsigned char* Shm =
      S.State ? S.State->Shm.load(std::memory_order_acquire) : nullptr;
  if (!Shm)
    return false;
  // The header is kept twice and written second copy first; read first copy first, as SQLite
  // does, equal copies are a whole header. The count of frames folded follows it: a restart
  // writes the header, then sets that count to 0.
  const auto* P = const_cast<const unsigned char*>(Shm);
  unsigned char First[48], Second[48];
  std::atomic_thread_fence(std::memory_order_acquire);
  std::memcpy(First, P, sizeof First);
  std::atomic_thread_fence(std::memory_order_acquire);
  std::memcpy(Second, P + 48, sizeof Second);
  std::atomic_thread_fence(std::memory_order_acquire);
  if (std::memcmp(First, Second, sizeof First) != 0)
    return false;
  std::memcpy(&Out.LastFrame, First + 16, 4);
  std::memcpy(Out.Salts, First + 32, 8);
  if (S.Kind == MainFile) {
    std::memcpy(&Out.Folded, P + 96, 4);
    std::atomic_thread_fence(std::memory_order_acquire);
    // Past the last frame only halfway through a restart (header written, count not yet reset).
    if (Out.Folded > Out.LastFrame)
      return false;
  }
  return true;
}

int Read(sqlite3_file* F, void* Buf, int Amount, sqlite3_int64 Offset) {
  TFile& S = *Of(F);
  TStamp Stamp;
  const sqlite3_int64 Number = S.Kind == OtherFile ? -1 : PageNumberAt(S, Amount, Offset);
  // In the journal only committed frames are kept: one past the last commit may be written
  // again under the same salts (by this connection's next transaction after a rollback, or
  // another's).
  const bool Keepable =
      Number > 0 && ShmStamp(S, Stamp) && (S.Kind == MainFile || Number <= Stamp.LastFrame);
  if (Keepable && S.Kept && S.Drops != S.State->Drops) {
    S.Kept->Clear();
    S.Drops = S.State->Drops;
  }
  if (Keepable && S.Kept) {
    if (const unsigned char* Page = S.Kept->Find(Offset, Stamp, Amount)) {
      std::memcpy(Buf, Page, static_cast<size_t>(Amount));
      return SQLITE_OK;
    }
  }
  int Rc = RealMethods(F)->xRead(Real(F), Buf, Amount, Offset);
  if (Rc != SQLITE_OK || S.Kind == OtherFile)
    return Rc;
  const auto* Data = static_cast<const unsigned char*>(Buf);
  if (S.Kind == MainFile && Offset == 0)
    SeeHeader(S, Data, Amount);
  const sqlite3_int64 Page = PageNumberAt(S, Amount, Offset);
  if (Page < 0)
    return Rc;
  SeeHeader(S, Data, Amount);
  if (Checksummed(S) && !PageMatches(Data, Amount)) {
    LastDamage.Found = true;
    std::snprintf(LastDamage.File, sizeof LastDamage.File, "%s", S.Name ? S.Name : "");
    LastDamage.Journal = S.Kind == JournalFile;
    LastDamage.Page = Page;
    return SQLITE_IOERR_DATA;
  }
  // Kept only when the stamp did not move while the page was read.
  TStamp After;
  if (Keepable && ShmStamp(S, After) && After == Stamp) {
    if (!S.Kept)
      S.Kept = std::make_unique<TKeptPages>();
    S.Kept->Keep(Offset, Stamp, Data, Amount);
  }
  return Rc;
}

// Journal: what it remembers of the journal's content, dropped once the connection released the
// write lock since (another connection may have written the journal afresh).
void Remembered(TFile& S) {
  if (S.Held != S.State->WriteLocks) {
    S.Held = S.State->WriteLocks;
    S.HaveHeader = false;
    S.FrameAt = S.ChainAt = 0;
  }
}

// Journal: the frame's header before the page at Offset, and the checksum chain up to the frame
// before it, as the journal holds them.
int FrameBefore(TFile& S, int PageSize, sqlite3_int64 Offset, unsigned char Frame[],
                uint32_t Chain[2]) {
  const sqlite3_io_methods* M = RealMethods(&S.Base);
  if (!S.HaveHeader) {
    int Rc = M->xRead(S.Real, S.Header, WalHeaderSize, 0);
    if (Rc != SQLITE_OK)
      return Rc;
    S.HaveHeader = true;
  }
  const sqlite3_int64 At = Offset - FrameHeaderSize;
  if (S.FrameAt == At) {
    std::memcpy(Frame, S.Frame, FrameHeaderSize);
  } else if (int Rc = M->xRead(S.Real, Frame, FrameHeaderSize, At); Rc != SQLITE_OK) {
    return Rc;
  }
  const sqlite3_int64 Previous = Offset - (PageSize + FrameHeaderSize);
  if (At == WalHeaderSize) {
    Chain[0] = Get32BigEndian(S.Header + 24);
    Chain[1] = Get32BigEndian(S.Header + 28);
  } else if (S.ChainAt == Previous) {
    Chain[0] = S.Chain[0];
    Chain[1] = S.Chain[1];
  } else {
    unsigned char Sums[8];
    if (int Rc = M->xRead(S.Real, Sums, 8, Previous - FrameHeaderSize + 16); Rc != SQLITE_OK)
      return Rc;
    Chain[0] = Get32BigEndian(Sums);
    Chain[1] = Get32BigEndian(Sums + 4);
  }
  return SQLITE_OK;
}

int Write(sqlite3_file* F, const void* Buf, int Amount, sqlite3_int64 Offset) {
  TFile& S = *Of(F);
  if (S.Kept) {
    // A new header starts the journal afresh: nothing kept of it holds any more.
    if (Offset == 0 && S.Kind == JournalFile)
      S.Kept->Clear();
    else
      S.Kept->Drop(Offset, Amount);
  }
  const sqlite3_int64 Page = S.Kind == OtherFile ? -1 : PageNumberAt(S, Amount, Offset);
  if (S.Kind == JournalFile && Page < 0) {
    Remembered(S);
    if (Offset == 0 && Amount == WalHeaderSize) {
      std::memcpy(S.Header, Buf, WalHeaderSize);
      S.HaveHeader = true;
      S.ChainAt = S.FrameAt = 0;
    } else if (Amount == FrameHeaderSize) {
      std::memcpy(S.Frame, Buf, FrameHeaderSize);
      S.FrameAt = Offset;
    }
  }
  if (Page < 0)
    return RealMethods(F)->xWrite(Real(F), Buf, Amount, Offset);
  SeeHeader(S, static_cast<const unsigned char*>(Buf), Amount);
  if (!Checksummed(S))
    return RealMethods(F)->xWrite(Real(F), Buf, Amount, Offset);
  // The page with its checksum, written from a copy: the caller's buffer stays as it gave it.
  std::vector<unsigned char>& Copy = S.Copy;
  Copy.assign(static_cast<const unsigned char*>(Buf),
              static_cast<const unsigned char*>(Buf) + Amount);
  Store64(Copy.data() + Amount - HiveChecksumBytes, PageChecksum(Copy.data(), Amount));
  if (S.Kind == JournalFile) {
    // SQLite chained the frame's checksum over the page as it was before its checksum went in:
    // the frame's header written just before gets the chain over the page as written, so that
    // recovering the journal accepts the frame (the next frames chain from it as read back).
    Remembered(S);
    unsigned char Frame[FrameHeaderSize];
    uint32_t Sum[2];
    int Rc = FrameBefore(S, Amount, Offset, Frame, Sum);
    if (Rc != SQLITE_OK)
      return Rc;
    const bool BigEndian = (Get32BigEndian(S.Header) & 1) != 0;
    WalChecksum(BigEndian, Frame, 8, Sum);
    WalChecksum(BigEndian, Copy.data(), Amount, Sum);
    Put32BigEndian(Frame + 16, Sum[0]);
    Put32BigEndian(Frame + 20, Sum[1]);
    Rc = RealMethods(F)->xWrite(Real(F), Frame + 16, 8, Offset - FrameHeaderSize + 16);
    if (Rc != SQLITE_OK)
      return Rc;
    std::memcpy(S.Frame, Frame, FrameHeaderSize);
    S.FrameAt = Offset - FrameHeaderSize;
    S.ChainAt = Offset;
    S.Chain[0] = Sum[0];
    S.Chain[1] = Sum[1];
  }
  return RealMethods(F)->xWrite(Real(F), Copy.data(), Amount, Offset);
}

int Truncate(sqlite3_file* F, sqlite3_int64 Size) {
  TFile& S = *Of(F);
  if (S.Kind == JournalFile) {
    S.HaveHeader = false;
    S.FrameAt = S.ChainAt = 0;
  }
  if (S.Kept)
    S.Kept->Clear();
  return RealMethods(F)->xTruncate(Real(F), Size);
}
int Sync(sqlite3_file* F, int Flags) {
  return RealMethods(F)->xSync(Real(F), Flags);
}
int FileSize(sqlite3_file* F, sqlite3_int64* Size) {
  return RealMethods(F)->xFileSize(Real(F), Size);
}
int Lock(sqlite3_file* F, int Level) {
  return RealMethods(F)->xLock(Real(F), Level);
}
int Unlock(sqlite3_file* F, int Level) {
  return RealMethods(F)->xUnlock(Real(F), Level);
}
int CheckReservedLock(sqlite3_file* F, int* Out) {
  return RealMethods(F)->xCheckReservedLock(Real(F), Out);
}
int FileControl(sqlite3_file* F, int Op, void* Arg) {
  if (Op == HiveFcntlShmFull) {
    *static_cast<int*>(Arg) = Of(F)->ShmFull ? 1 : 0;
    return SQLITE_OK;
  }
  if (Op == HiveFcntlDropKept) {
    if (TFile& S = *Of(F); S.State)
      ++S.State->Drops;
    return SQLITE_OK;
  }
  if (Op == HiveFcntlShmIdentity) {
    *static_cast<TFileIdentity*>(Arg) = Of(F)->ShmId;
    return SQLITE_OK;
  }
  if (Op == HiveFcntlShmView) {
    TFile& S = *Of(F);
    if (S.Kind != MainFile || !S.State)
      return SQLITE_NOTFOUND;
    *static_cast<THiveShmView*>(Arg) = THiveShmView{&S.State->Shm, &S.ShmFull};
    return SQLITE_OK;
  }
  if (Op == HiveFcntlWriteLock) {
    *static_cast<THiveWriteLock*>(Arg) = Of(F)->WriteLock;
    return SQLITE_OK;
  }
  return RealMethods(F)->xFileControl(Real(F), Op, Arg);
}
int SectorSize(sqlite3_file* F) {
  return RealMethods(F)->xSectorSize(Real(F));
}
int DeviceCharacteristics(sqlite3_file* F) {
  return RealMethods(F)->xDeviceCharacteristics(Real(F));
}

// A connection whose shared memory could not be allocated (a full disk) goes on as one whose
// shared memory is read-only: SQLite then builds the index of the journal in the connection's
// own memory from the journal itself (or reads the shared memory another process allocated),
// and refuses every change. The first failure answers "busy", on which SQLite tries again and
// so meets the read-only answer at once.
int ShmMap(sqlite3_file* F, int Region, int Size, int Extend, void volatile** Out) {
  TFile& S = *Of(F);
  if (RealMethods(F)->iVersion < 2)
    return SQLITE_IOERR_SHMMAP;
  if (S.ShmFull) {
    int Rc = RealMethods(F)->xShmMap(Real(F), Region, Size, 0, Out);
    if (Rc == SQLITE_OK && *Out)
      return SQLITE_READONLY;
    *Out = nullptr;
    if (Region == 0)
      return SQLITE_READONLY_CANTINIT;
    return Rc == SQLITE_OK ? SQLITE_OK : SQLITE_FULL;
  }
  errno = 0;
  int Rc = RealMethods(F)->xShmMap(Real(F), Region, Size, Extend, Out);
  if (Rc == SQLITE_OK) {
    // The first region's mapping says once which file the connection's shared memory is.
    // (Mapped again at every read of the header: stored only when it moved.)
    if (Region == 0 && *Out && S.State && S.State->Shm.load(std::memory_order_relaxed) != *Out)
      S.State->Shm.store(static_cast<const volatile unsigned char*>(*Out),
                         std::memory_order_release);
    if (Region == 0 && *Out && !S.ShmLooked) {
      S.ShmLooked = true;
      std::lock_guard<std::mutex> G(MappedLock);
      auto It = Mapped.find(const_cast<const void*>(*Out));
      if (It != Mapped.end())
        S.ShmId = It->second;
    }
    return Rc;
  }
  const bool NoSpace = ShmNoSpace || errno == ENOSPC || errno == EDQUOT;
  ShmNoSpace = false;
  if (Rc != SQLITE_OK && S.Kind == MainFile && NoSpace) {
    S.ShmFull = true;
    *Out = nullptr;
    return Region == 0 ? SQLITE_BUSY : SQLITE_FULL;
  }
  return Rc;
}
int ShmLock(sqlite3_file* F, int Offset, int N, int Flags) {
  if (RealMethods(F)->iVersion < 2)
    return SQLITE_IOERR_SHMLOCK;
  // Lock 0 is the journal's write lock.
  TFile& S = *Of(F);
  if (Offset == 0 && (Flags & SQLITE_SHM_UNLOCK) && S.State)
    ++S.State->WriteLocks;
  if (Offset != 0 || S.Kind != MainFile || !(Flags & SQLITE_SHM_EXCLUSIVE))
    return RealMethods(F)->xShmLock(Real(F), Offset, N, Flags);
  THiveWriteLock& W = S.WriteLock;
  if (Flags & SQLITE_SHM_LOCK) {
    const int Rc = RealMethods(F)->xShmLock(Real(F), Offset, N, Flags);
    if (Rc == SQLITE_OK)
      W.Held = true;
    return Rc;
  }
  // Released: the header as this connection leaves it, taken while nobody else can write it (a
  // commit rewrites it before the release), so that it names exactly the state the connection's
  // last commit made.
  W.HeaderKnown = false;
  const volatile unsigned char* Shm =
      S.State ? S.State->Shm.load(std::memory_order_acquire) : nullptr;
  if (W.Held && Shm) {
    const auto* P = const_cast<const unsigned char*>(Shm);
    unsigned char Second[sizeof W.Header];
    std::atomic_thread_fence(std::memory_order_acquire);
    std::memcpy(W.Header, P, sizeof W.Header);
    std::memcpy(Second, P + sizeof W.Header, sizeof Second);
    W.HeaderKnown = std::memcmp(W.Header, Second, sizeof Second) == 0;
  }
  W.Held = false;
  ++W.Releases;
  return RealMethods(F)->xShmLock(Real(F), Offset, N, Flags);
}
void ShmBarrier(sqlite3_file* F) {
  if (RealMethods(F)->iVersion >= 2)
    RealMethods(F)->xShmBarrier(Real(F));
}
int ShmUnmap(sqlite3_file* F, int Delete) {
  if (RealMethods(F)->iVersion < 2)
    return SQLITE_OK;
  if (TFile& S = *Of(F); S.State)
    S.State->Shm = nullptr;
  return RealMethods(F)->xShmUnmap(Real(F), Delete);
}
// Pages are always read through Read, where their checksums are compared.
int Fetch(sqlite3_file*, sqlite3_int64, int, void** Out) {
  *Out = nullptr;
  return SQLITE_OK;
}
int Unfetch(sqlite3_file* F, sqlite3_int64 Offset, void* P) {
  if (RealMethods(F)->iVersion < 3)
    return SQLITE_OK;
  return RealMethods(F)->xUnfetch(Real(F), Offset, P);
}

const sqlite3_io_methods Methods = {
    3,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    ShmMap,
    ShmLock,
    ShmBarrier,
    ShmUnmap,
    Fetch,
    Unfetch,
};

sqlite3_vfs* BaseVfs(sqlite3_vfs* V) {
  return static_cast<sqlite3_vfs*>(V->pAppData);
}

int Open(sqlite3_vfs* V, const char* Name, sqlite3_file* F, int Flags, int* OutFlags) {
  auto* S = new (F) TFile{};
  S->Real = reinterpret_cast<sqlite3_file*>(S + 1);
  S->Name = Name;
  if (Flags & SQLITE_OPEN_MAIN_DB) {
    S->Kind = MainFile;
    S->State = std::make_shared<TDbState>();
  } else if ((Flags & SQLITE_OPEN_WAL) && Name) {
    S->Kind = JournalFile;
    // The journal belongs to the connection whose database SQLite named with the same string.
    const char* Db = sqlite3_filename_database(Name);
    std::lock_guard<std::mutex> G(MainsLock);
    for (TFile* M : Mains)
      if (M->Name == Db || (!S->State && M->Name && Db && std::strcmp(M->Name, Db) == 0))
        S->State = M->State;
    if (!S->State)
      S->State = std::make_shared<TDbState>();
  } else {
    S->Kind = OtherFile;
  }
  int Rc = BaseVfs(V)->xOpen(BaseVfs(V), Name, S->Real, Flags, OutFlags);
  // SQLite calls xClose whenever pMethods is set, also after a failed open.
  if (S->Real->pMethods) {
    F->pMethods = &Methods;
    if (S->Kind == MainFile) {
      std::lock_guard<std::mutex> G(MainsLock);
      Mains.push_back(S);
    }
  } else {
    S->~TFile();
    F->pMethods = nullptr;
  }
  return Rc;
}
int Delete(sqlite3_vfs* V, const char* Name, int SyncDir) {
  return BaseVfs(V)->xDelete(BaseVfs(V), Name, SyncDir);
}
int Access(sqlite3_vfs* V, const char* Name, int Flags, int* Out) {
  return BaseVfs(V)->xAccess(BaseVfs(V), Name, Flags, Out);
}
int FullPathname(sqlite3_vfs* V, const char* Name, int N, char* Out) {
  return BaseVfs(V)->xFullPathname(BaseVfs(V), Name, N, Out);
}
void* DlOpen(sqlite3_vfs* V, const char* Name) {
  return BaseVfs(V)->xDlOpen(BaseVfs(V), Name);
}
void DlError(sqlite3_vfs* V, int N, char* Out) {
  BaseVfs(V)->xDlError(BaseVfs(V), N, Out);
}
void (*DlSym(sqlite3_vfs* V, void* Lib, const char* Sym))(void) {
  return BaseVfs(V)->xDlSym(BaseVfs(V), Lib, Sym);
}
void DlClose(sqlite3_vfs* V, void* Lib) {
  BaseVfs(V)->xDlClose(BaseVfs(V), Lib);
}
int Randomness(sqlite3_vfs* V, int N, char* Out) {
  return BaseVfs(V)->xRandomness(BaseVfs(V), N, Out);
}
int Sleep(sqlite3_vfs* V, int Micro) {
  return BaseVfs(V)->xSleep(BaseVfs(V), Micro);
}
int CurrentTime(sqlite3_vfs* V, double* Out) {
  return BaseVfs(V)->xCurrentTime(BaseVfs(V), Out);
}
int GetLastError(sqlite3_vfs* V, int N, char* Out) {
  return BaseVfs(V)->xGetLastError ? BaseVfs(V)->xGetLastError(BaseVfs(V), N, Out) : 0;
}
int CurrentTimeInt64(sqlite3_vfs* V, sqlite3_int64* Out) {
  if (BaseVfs(V)->iVersion >= 2 && BaseVfs(V)->xCurrentTimeInt64)
    return BaseVfs(V)->xCurrentTimeInt64(BaseVfs(V), Out);
  double Days = 0;
  int Rc = BaseVfs(V)->xCurrentTime(BaseVfs(V), &Days);
  *Out = static_cast<sqlite3_int64>(Days * 86400000.0);
  return Rc;
}

} // namespace

const char* HiveVfs() {
  static const char* const Name = [] {
    static sqlite3_vfs Vfs;
    sqlite3_initialize();
    // Over whatever layer is the default when the first hive opens (tests put their own there).
    sqlite3_vfs* Base = sqlite3_vfs_find(nullptr);
    if (!Base)
      return static_cast<const char*>(nullptr);
    // The default layer's own mapping of the shared memory goes through HiveMmap.
    if (sqlite3_vfs* Unix = sqlite3_vfs_find("unix");
        Unix && Unix->iVersion >= 3 && Unix->xGetSystemCall && Unix->xSetSystemCall) {
      if (sqlite3_syscall_ptr Mmap = Unix->xGetSystemCall(Unix, "mmap")) {
        RealMmap = reinterpret_cast<TMmap>(Mmap);
        if (Unix->xSetSystemCall(Unix, "mmap", reinterpret_cast<sqlite3_syscall_ptr>(&HiveMmap)) !=
            SQLITE_OK)
          RealMmap = nullptr;
      }
    }
    Vfs.iVersion = 2;
    Vfs.szOsFile = static_cast<int>(sizeof(TFile)) + Base->szOsFile;
    Vfs.mxPathname = Base->mxPathname;
    Vfs.zName = "hostide-hive";
    Vfs.pAppData = Base;
    Vfs.xOpen = Open;
    Vfs.xDelete = Delete;
    Vfs.xAccess = Access;
    Vfs.xFullPathname = FullPathname;
    Vfs.xDlOpen = DlOpen;
    Vfs.xDlError = DlError;
    Vfs.xDlSym = DlSym;
    Vfs.xDlClose = DlClose;
    Vfs.xRandomness = Randomness;
    Vfs.xSleep = Sleep;
    Vfs.xCurrentTime = CurrentTime;
    Vfs.xGetLastError = GetLastError;
    Vfs.xCurrentTimeInt64 = CurrentTimeInt64;
    if (sqlite3_vfs_register(&Vfs, 0) != SQLITE_OK)
      return static_cast<const char*>(nullptr);
    return Vfs.zName;
  }();
  return Name;
}

bool ShmFull(sqlite3* Db) {
  int Full = 0;
  return Db && sqlite3_file_control(Db, "main", HiveFcntlShmFull, &Full) == SQLITE_OK && Full != 0;
}

TDamagedPage TakeDamagedPage() {
  TDamagedPage D;
  if (LastDamage.Found) {
    D.File = LastDamage.File;
    D.Journal = LastDamage.Journal;
    D.Page = LastDamage.Page;
  }
  LastDamage = {};
  return D;
}

} // namespace SqliteHiveDetail

const char* SqliteHiveVfsName() {
  return SqliteHiveDetail::HiveVfs();
}
