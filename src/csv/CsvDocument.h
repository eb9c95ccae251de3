#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "csv/Csv.h"
#include "text/UnicodeString.h"
#include "text/YieldHook.h"

namespace norvalis {

// One CSV file as the program holds it: its name, the code page asked for, the loaded table
// and why the last load failed. The window (through its Qt owner), the check and
// norvalis-check all read the table here.
class CsvDocument {
 public:
  CsvDocument() = default;
  CsvDocument(const CsvDocument&) = delete;
  CsvDocument& operator=(const CsvDocument&) = delete;

  // Reads a file into `into` (an empty table of the caller's) on any thread, without touching
  // a document: the worker's half of a load.
  static CsvLoadResult Read(TCsv& into, const UnicodeString& fileName, std::uint16_t codePage,
                            YieldHook progress, const std::atomic<bool>* cancel);

  // Empties the table, then reads the file into it; the result also stays in LastResult().
  CsvLoadResult Load(const UnicodeString& fileName, std::uint16_t codePage = 0,
                     YieldHook progress = {}, const std::atomic<bool>* cancel = nullptr);
  // Makes a table that Read loaded elsewhere the document's (empty when the read failed).
  void Take(const UnicodeString& fileName, std::uint16_t codePage, TCsv& loaded,
            const CsvLoadResult& result);
  // No file, an empty table.
  void Clear();

  const UnicodeString& FileName() const { return fileName_; }
  // The code page asked for (0: detected); the one used is Csv().CodePage().
  std::uint16_t CodePageAsked() const { return codePage_; }
  const CsvLoadResult& LastResult() const { return result_; }
  const TCsv& Csv() const { return csv_; }
  // The loaded table for sharing with another thread or a view; null when empty.
  std::shared_ptr<const CsvTable> Table() const { return csv_.Share(); }

  // Whether the file changed on disk under the loaded table.
  bool Stale() const;
  // Replaces how staleness is found (tests: a table that can be marked stale); null restores
  // the table's own answer.
  void SetStaleProbe(std::function<bool(const CsvTable&)> probe) { staleProbe_ = std::move(probe); }

 private:
  TCsv csv_;
  UnicodeString fileName_;
  std::uint16_t codePage_ = 0;
  CsvLoadResult result_;
  std::function<bool(const CsvTable&)> staleProbe_;
};

}  // namespace norvalis
