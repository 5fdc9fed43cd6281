// The session behind the C interface (OrvikEmbed.h): the IDE model shaped for a real IDE, the
// ids that name its objects to the host, the palette as the host's pages, the modal runner
// that hands forms to the host, and the model's event boundary, which passes failures to the
// host once each.
#pragma once

#include "OrvikEmbed.h"

#include "rtl/Component.h"
#include "vcl/CategoryButtons.h"
#include "vcl/Forms.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class THostIde;

// Ids for objects of the model. The table is a view of every object it names, so an object
// that is released leaves the table at once; ids are never reused.
class TIdTable : private TComponentView {
public:
  TIdTable() = default;
  TIdTable(const TIdTable&) = delete;
  TIdTable& operator=(const TIdTable&) = delete;
  ~TIdTable() override;

  // The id of the object (made on first use); 0 for nullptr.
  orvik_id IdOf(TComponent* Object);
  // The object while it lives and is not being released, else nullptr.
  TComponent* Find(orvik_id Id) const;
  template <class T> T* FindAs(orvik_id Id) const { return dynamic_cast<T*>(Find(Id)); }
  size_t Size() const { return FObjects.size(); }

private:
  void ComponentDestroying(TComponent* Object) override;

  std::unordered_map<orvik_id, TComponent*> FObjects;
  std::unordered_map<TComponent*, orvik_id> FIds;
  orvik_id FNext = 1;
};

class TEmbedSession : private TCategoryButtonsView {
public:
  explicit TEmbedSession(const orvik_host& Host);
  ~TEmbedSession() override;
  TEmbedSession(const TEmbedSession&) = delete;
  TEmbedSession& operator=(const TEmbedSession&) = delete;

  THostIde& Ide() { return *FIde; }
  TIdTable& Ids() { return FIds; }

  // Runs Step at the model's event boundary: a failure goes to the host's report and the
  // answer is false.
  bool Guard(const std::function<void()>& Step);
  // Hands a message to the host's report, unless the same text went there before.
  void Report(const std::string& Message);

  bool LoadAddIn(const std::string& Path);
  static std::string DefaultAddIn();

  void SetPages(const std::vector<std::string>& Names);

  // Keeps Text until the next call that answers a string, and answers it.
  const char* Keep(std::string Text);

private:
  void ScrollPositionChanged(TCategoryButtons*) override;
  void ComponentDestroying(TComponent*) override;
  int RunModal(TCustomForm& Form);

  orvik_host FHost;
  std::unique_ptr<THostIde> FIde;
  TCategoryButtons* FPalette = nullptr; // the model's, while it lives
  std::unique_ptr<TModalRunnerScope> FModal;
  TIdTable FIds;
  std::set<std::string> FReported;
  std::string FKept;
  bool FSyncing = false; // the session moves the palette: not a pick of the add-in's
};
