#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include "check/CharacterCheck.h"
#include "check/ColumnRule.h"
#include "check/RuleCheck.h"
#include "csv/Csv.h"
#include "text/UnicodeString.h"

namespace norvalis {

// The answer of one run of the rules or of the character check, with what naming its findings
// needs: the table it read (kept while the answer is shown), the title flag and the rules.
struct Findings {
  enum class Kind { Rules, Characters };
  Kind kind = Kind::Rules;
  std::shared_ptr<const CsvTable> table;
  bool firstLineIsTitle = false;
  // Rules: the rules checked, and the project's rules left out because they do not parse.
  std::vector<ColumnRule> rules;
  std::vector<RuleError> ignored;
  std::shared_ptr<const RuleCheckResult> ruleResult;
  // Characters: the kinds looked for (bits of CharacterKind).
  unsigned kinds = AllCharacterKinds;
  std::shared_ptr<const CharacterCheckResult> characterResult;

  std::size_t Count() const;
  // Where finding i is: table row and column.
  std::uint32_t Row(std::size_t i) const;
  std::uint32_t Column(std::size_t i) const;
  // The distinct table rows that hold a finding, in order.
  std::vector<std::uint32_t> Rows() const;
};

// "文字化け", "機種依存文字", … : a kind as the window names it.
QString CharacterKindCaption(CharacterKind kind);

// The findings as a list, one line per finding, computed when a line is shown: millions of
// findings cost no more than their answer. The texts are the ones a copy holds.
class TFindingsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit TFindingsModel(QObject* parent = nullptr);

  // Shows another answer (null: none).
  void SetFindings(std::shared_ptr<const Findings> findings);
  const std::shared_ptr<const Findings>& Data() const { return findings_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The headings of the list's columns.
  QStringList Headings() const;
  // The fields of finding i, whole (the list shows a long value's first line only).
  std::vector<UnicodeString> Fields(std::size_t i) const;
  // The heading line, then the lines of findings [first, end), tab-separated, each ended by a
  // line feed.
  UnicodeString Tsv(const std::vector<std::pair<std::size_t, std::size_t>>& ranges) const;

 private:
  std::shared_ptr<const Findings> findings_;
};

}  // namespace norvalis
