// Helpers shared by the palette menu units.
#pragma once

#include "rtl/TypInfo.h"
#include "rtl/UnicodeString.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <typeinfo>

// The tab key of a palette tab caption: the caption with every "&" removed ("&&" included);
// every other character stays, in order.
UnicodeString RemoveAmpersand(const UnicodeString& S);

// Reads the string property "Caption" of one object after another through run-time type
// information, looking the property up by name once for each class the objects come in.
class TOvCaptionReader {
public:
  UnicodeString Read(const TObject* Instance);

private:
  const std::type_info* FType = nullptr;
  const TPropInfo* FProp = nullptr;
  std::uint64_t FGeneration = 0;
};

// Captions are scanned four code units (one 64-bit word) at a time, the first unit in the low
// bits of the word.
static_assert(std::endian::native == std::endian::little, "units are packed as they are loaded");
constexpr std::uint64_t UnitOnes = 0x0001000100010001ull;
constexpr std::uint64_t UnitHighs = 0x8000800080008000ull;

inline std::uint64_t LoadUnits(const char16_t* P) {
  std::uint64_t W;
  std::memcpy(&W, P, sizeof W);
  return W;
}

// Up to three units, packed as LoadUnits packs four.
inline std::uint64_t PackUnits(const char16_t* P, size_t N) {
  std::uint64_t W = 0;
  for (size_t I = 0; I < N; ++I)
    W |= static_cast<std::uint64_t>(P[I]) << (16 * I);
  return W;
}

// The lanes of Word that hold Unit, as the top bit of each such lane; the lowest one set is
// exact (a borrow can only mark lanes above a match).
inline std::uint64_t LanesHolding(std::uint64_t Word, char16_t Unit) {
  const std::uint64_t X = Word ^ (UnitOnes * Unit);
  return (X - UnitOnes) & ~X & UnitHighs;
}
