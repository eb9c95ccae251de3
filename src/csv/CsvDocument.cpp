#include "csv/CsvDocument.h"

#include <utility>

namespace norvalis {

CsvLoadResult CsvDocument::Read(TCsv& into, const UnicodeString& fileName, std::uint16_t codePage,
                                YieldHook progress, const std::atomic<bool>* cancel) {
  into.SetYieldHook(std::move(progress));
  return into.Load(fileName, codePage, cancel);
}

CsvLoadResult CsvDocument::Load(const UnicodeString& fileName, std::uint16_t codePage,
                                YieldHook progress, const std::atomic<bool>* cancel) {
  Clear();
  TCsv loaded;
  const CsvLoadResult result = Read(loaded, fileName, codePage, std::move(progress), cancel);
  Take(fileName, codePage, loaded, result);
  return result;
}

void CsvDocument::Take(const UnicodeString& fileName, std::uint16_t codePage, TCsv& loaded,
                       const CsvLoadResult& result) {
  csv_.Clear();
  if (result.ok()) csv_.Swap(loaded);
  // The hook belongs to the read that made the table, not to the document.
  csv_.SetYieldHook({});
  fileName_ = fileName;
  codePage_ = codePage;
  result_ = result;
}

void CsvDocument::Clear() {
  csv_.Clear();
  fileName_.clear();
  codePage_ = 0;
  result_ = {};
}

bool CsvDocument::Stale() const {
  const std::shared_ptr<const CsvTable> table = csv_.Share();
  if (!table) return false;
  return staleProbe_ ? staleProbe_(*table) : table->Stale();
}

}  // namespace norvalis
