#pragma once

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace vantrel {

// A shell item identifier list handed over by the shell, freed with
// CoTaskMemFree at the end of the scope. The empty value is NULL.
class ItemList {
 public:
  explicit ItemList(PIDLIST_ABSOLUTE items) : items_(items) {}
  ~ItemList() {
    if (items_ != nullptr) CoTaskMemFree(items_);
  }

  ItemList(const ItemList&) = delete;
  ItemList& operator=(const ItemList&) = delete;

  bool ok() const { return items_ != nullptr; }
  PCIDLIST_ABSOLUTE get() const { return items_; }

 private:
  PIDLIST_ABSOLUTE items_;
};

}  // namespace vantrel
