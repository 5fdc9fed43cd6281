// The collation keys of texts sorted before, for TStringList::Sort. Menus sort the same
// captions again and again, and a key (AnsiCompareTextKey) costs a folding and a collation, so
// the keys are kept: per thread (no lock on the way of a sort), up to a bound (the memory stays
// small however many texts pass), and for the life of the thread (the user's collation does not
// change while the process runs).
#pragma once

#include "rtl/SysUtils.h"
#include "rtl/UnicodeString.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class TCollationKeyMemo {
public:
  static constexpr size_t MaxKept = 65536;

  // The memo of the calling thread.
  static TCollationKeyMemo& ForThisThread();

  // Makes room for Coming more keys: forgets every key when they would not all fit. A sort
  // calls it once, before it takes any key, so that no key goes while the sort holds it.
  void MakeRoom(size_t Coming) {
    if (FCount + Coming > MaxKept) {
      FChunks.clear();
      FCount = 0;
      std::fill(FSlots.begin(), FSlots.end(), TSlot{});
      ++FEpoch;
    }
  }

  // Changes whenever the memo forgets its keys: a key taken at one epoch stays valid (and at
  // the same address) for as long as the epoch is the same.
  unsigned long long Epoch() const { return FEpoch; }

  // The key of S, computed the first time only. The reference stays valid until MakeRoom
  // forgets the keys (the entries live in chunks that never move).
  const std::string& KeyOf(const UnicodeString& S) {
    const uint64_t Hash = HashOf(S);
    const auto Tag = static_cast<uint32_t>(Hash >> 32);
    if (!FSlots.empty()) {
      const size_t Mask = FSlots.size() - 1;
      for (size_t I = static_cast<size_t>(Hash) & Mask; FSlots[I].Entry; I = (I + 1) & Mask) {
        const TSlot& Slot = FSlots[I];
        if (Slot.Tag != Tag)
          continue;
        const TEntry& E = *Slot.Entry;
        if (E.Text.size() == S.size() &&
            std::memcmp(E.Text.data(), S.data(), S.size() * sizeof(char16_t)) == 0)
          return E.Key;
      }
    }
    return Add(S, Hash);
  }

  // How many keys are kept.
  size_t Size() const { return FCount; }

private:
  struct TEntry {
    UnicodeString Text;
    std::string Key;
    uint64_t Hash;
  };
  // An entry (null: a free slot) and the high half of its text's hash, compared before the
  // texts are.
  struct TSlot {
    TEntry* Entry = nullptr;
    uint32_t Tag = 0;
  };
  static constexpr size_t ChunkSize = 256;

  // Four code units (one 64-bit word) at a time, the last word overlapping the one before it:
  // captions are short, and this costs a few multiplications where a byte hash costs a loop
  // step per byte.
  static uint64_t HashOf(const UnicodeString& S) {
    const size_t N = S.size();
    const char16_t* P = S.data();
    uint64_t H = 0x9e3779b97f4a7c15ull ^ N;
    auto Mix = [&H](uint64_t W) {
      H = (H ^ W) * 0xff51afd7ed558ccdull;
      H ^= H >> 32;
    };
    if (N < 4) {
      uint64_t W = 0;
      for (size_t I = 0; I < N; ++I)
        W |= static_cast<uint64_t>(P[I]) << (16 * I);
      Mix(W);
    } else {
      uint64_t W;
      for (size_t I = 0; I + 4 < N; I += 4) {
        std::memcpy(&W, P + I, sizeof W);
        Mix(W);
      }
      std::memcpy(&W, P + N - 4, sizeof W);
      Mix(W);
    }
    H = (H ^ (H >> 33)) * 0xc4ceb9fe1a85ec53ull;
    return H ^ (H >> 33);
  }

  [[gnu::noinline]] const std::string& Add(const UnicodeString& S, uint64_t Hash) {
    // The key first: should collating fail, nothing was added.
    std::string Key = AnsiCompareTextKey(S);
    // At most half full, so that a search meets a free slot soon.
    if (2 * (FCount + 1) > FSlots.size()) {
      FSlots.assign(std::max<size_t>(256, 2 * FSlots.size()), TSlot{});
      for (size_t E = 0; E < FCount; ++E)
        Place(&Entry(E));
    }
    if (FCount % ChunkSize == 0)
      FChunks.push_back(std::make_unique<TEntry[]>(ChunkSize));
    TEntry& New = Entry(FCount);
    New.Text = S;
    New.Key = std::move(Key);
    New.Hash = Hash;
    ++FCount;
    Place(&New);
    return New.Key;
  }
  TEntry& Entry(size_t Index) { return FChunks[Index / ChunkSize][Index % ChunkSize]; }
  void Place(TEntry* E) {
    const uint64_t Hash = E->Hash;
    const TSlot Slot{E, static_cast<uint32_t>(Hash >> 32)};
    const size_t Mask = FSlots.size() - 1;
    size_t I = static_cast<size_t>(Hash) & Mask;
    while (FSlots[I].Entry)
      I = (I + 1) & Mask;
    FSlots[I] = Slot;
  }

  std::vector<std::unique_ptr<TEntry[]>> FChunks; // ChunkSize entries each
  size_t FCount = 0;
  std::vector<TSlot> FSlots; // a power of two in size, or empty
  unsigned long long FEpoch = 0;
};
