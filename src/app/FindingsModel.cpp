#include "app/FindingsModel.h"

#include <algorithm>
#include <climits>
#include <string>

#include "csv/CsvUtility.h"
#include "csv/TsvText.h"

namespace norvalis {

namespace {

QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

UnicodeString NumberText(long long n) {
  const std::string digits = std::to_string(n);
  return UnicodeString(digits.begin(), digits.end());
}

// Past XFD there are no letters; the number names the column as a rule may.
UnicodeString ColumnName(std::uint32_t col) {
  const UnicodeString letters = TCsvUtility::ColumnIndexToLetters(static_cast<std::int32_t>(col));
  return letters.empty() ? NumberText(static_cast<long long>(col) + 1) : letters;
}

// The list shows a value's first line, and no more of it than a line can hold.
constexpr qsizetype ShownValueUnits = 200;

const QStringList RuleHeadings = {QStringLiteral("行"),   QStringLiteral("列"),
                                  QStringLiteral("列名"), QStringLiteral("規則"),
                                  QStringLiteral("内容"), QStringLiteral("セルの値")};
const QStringList CharacterHeadings = {QStringLiteral("行"),      QStringLiteral("列"),
                                       QStringLiteral("列名"),    QStringLiteral("種類"),
                                       QStringLiteral("文字"),    QStringLiteral("内容"),
                                       QStringLiteral("セルの値")};

}  // namespace

std::size_t Findings::Count() const {
  if (kind == Kind::Rules) return ruleResult ? ruleResult->findings.size() : 0;
  return characterResult ? characterResult->findings.size() : 0;
}

std::uint32_t Findings::Row(std::size_t i) const {
  return kind == Kind::Rules ? ruleResult->findings[i].row : characterResult->findings[i].row;
}

std::uint32_t Findings::Column(std::size_t i) const {
  return kind == Kind::Rules ? rules[ruleResult->findings[i].rule].column
                             : characterResult->findings[i].col;
}

std::vector<std::uint32_t> Findings::Rows() const {
  // Findings come in row order, so each row's findings lie together.
  std::vector<std::uint32_t> rows;
  const std::size_t count = Count();
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t row = Row(i);
    if (rows.empty() || rows.back() != row) rows.push_back(row);
  }
  return rows;
}

QString CharacterKindCaption(CharacterKind kind) {
  switch (kind) {
    case CharacterKind::Mojibake:
      return QStringLiteral("文字化け");
    case CharacterKind::MachineDependent:
      return QStringLiteral("機種依存文字");
    case CharacterKind::MixedForms:
      return QStringLiteral("表記の混在");
    case CharacterKind::Control:
      return QStringLiteral("制御文字");
    case CharacterKind::Spaces:
      return QStringLiteral("前後の空白");
  }
  return {};
}

TFindingsModel::TFindingsModel(QObject* parent) : QAbstractTableModel(parent) {}

void TFindingsModel::SetFindings(std::shared_ptr<const Findings> findings) {
  beginResetModel();
  findings_ = std::move(findings);
  endResetModel();
}

int TFindingsModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !findings_) return 0;
  // A list has int rows; the count the window shows is the exact one.
  return static_cast<int>(std::min<std::size_t>(findings_->Count(), INT_MAX));
}

int TFindingsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(Headings().size());
}

QStringList TFindingsModel::Headings() const {
  return findings_ && findings_->kind == Findings::Kind::Characters ? CharacterHeadings
                                                                    : RuleHeadings;
}

std::vector<UnicodeString> TFindingsModel::Fields(std::size_t i) const {
  const Findings& f = *findings_;
  const std::uint32_t row = f.Row(i);
  const std::uint32_t col = f.Column(i);
  const UnicodeString cell = f.table ? UnicodeString(f.table->Cell(row, col)) : UnicodeString();
  const UnicodeString title =
      f.table && f.firstLineIsTitle ? UnicodeString(f.table->Cell(0, col)) : UnicodeString();
  const UnicodeString rowText = NumberText(static_cast<long long>(row) + 1);
  if (f.kind == Findings::Kind::Rules) {
    const RuleFinding& finding = f.ruleResult->findings[i];
    const ColumnRule& rule = f.rules[finding.rule];
    return {rowText, ColumnName(col), title, rule.ruleText, RuleFindingText(rule, finding, cell),
            cell};
  }
  const CharacterFinding& finding = f.characterResult->findings[i];
  const std::u32string chars = FindingChars(*f.characterResult, finding.kind, cell);
  const std::string codes = CodePointsText(chars);
  return {rowText,
          ColumnName(col),
          title,
          CharacterKindCaption(finding.kind).toStdU16String(),
          UnicodeString(codes.begin(), codes.end()),
          CharacterFindingText(finding.kind, chars),
          cell};
}

QVariant TFindingsModel::data(const QModelIndex& index, int role) const {
  if (!findings_ || !index.isValid()) return {};
  if (role == Qt::TextAlignmentRole && index.column() == 0) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  }
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  const std::vector<UnicodeString> fields = Fields(static_cast<std::size_t>(index.row()));
  const auto column = static_cast<std::size_t>(index.column());
  if (column >= fields.size()) return {};
  QString text = ToQString(fields[column]);
  if (column + 1 == fields.size()) {
    const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
    const qsizetype shown = lineEnd < 0 ? ShownValueUnits : std::min(lineEnd, ShownValueUnits);
    if (text.size() > shown) text = text.left(shown) + QStringLiteral("…");
  }
  return text;
}

QVariant TFindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  const QStringList headings = Headings();
  return section >= 0 && section < headings.size() ? QVariant(headings[section]) : QVariant();
}

UnicodeString TFindingsModel::Tsv(
    const std::vector<std::pair<std::size_t, std::size_t>>& ranges) const {
  std::vector<UnicodeString> heading;
  for (const QString& h : Headings())
    heading.push_back(h.toStdU16String());
  UnicodeString text = TsvLine(heading);
  text += u'\n';
  if (!findings_) return text;
  const std::size_t count = findings_->Count();
  for (const auto& [first, end] : ranges) {
    for (std::size_t i = first; i < std::min(end, count); ++i) {
      text += TsvLine(Fields(i));
      text += u'\n';
    }
  }
  return text;
}

}  // namespace norvalis
