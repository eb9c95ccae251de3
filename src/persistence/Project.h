#pragma once

#include <cstdint>
#include <vector>

#include "text/UnicodeString.h"

namespace norvalis {

// The values of one check, kept in a project file (UTF-16 LE INI text).
class TProject {
 public:
  TProject(UnicodeString fileName = {}, std::int32_t col = 0, bool title = false);

  // Empties FileName and Rules and sets Col to 0 and CodePage to automatic; Title keeps its
  // value.
  void Clear();
  // Writes the three values into the file; other keys and sections of an existing file stay.
  // Raises EFOpenError or EFCreateError; the old file is then unchanged.
  void SaveToFile(const UnicodeString& path) const;
  // Sets the three values from the file (defaults: empty, 0, false). Raises EFOpenError and
  // then changes nothing.
  void LoadFromFile(const UnicodeString& path);

  UnicodeString FileName;  // CSV / FILENAME
  std::int32_t Col;        // TASK / COL, zero-based data column
  bool Title;              // CSV / TITLE, the first line holds column names
  // CSV / CODEPAGE: the encoding the user chose for the file; 0 (or no key) is automatic.
  // Written only when chosen, so an automatic project's file is as it always was.
  std::uint16_t CodePage = 0;
  // RULES / RULE1, RULE2, …: the column rules in norvalis-check's --rule syntax, kept as
  // written, one that this program cannot parse included. No section while there are none.
  std::vector<UnicodeString> Rules;
};

}  // namespace norvalis
