// A passkey: a function that takes a Badge<T> can only be called by T, because only T can make
// one. The badge carries nothing; it is the proof of who calls. A class may hand the badges it
// makes on to helpers it trusts (friends of T cannot make one themselves, but T can give them
// one).
#pragma once

template <class T> class Badge {
  friend T;
  Badge() = default; // private, and user-declared, so not even Badge<T>{} works elsewhere

public:
  Badge(const Badge&) = default;
  Badge& operator=(const Badge&) = delete;
};
