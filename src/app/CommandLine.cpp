#include "app/CommandLine.h"

#include <algorithm>
#include <climits>

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

#include "text/Exception.h"

namespace norvalis::TCommandLine {

StartupArgument ParseArgument(const QString& argument) {
  using Kind = StartupArgument::Kind;
  if (IsProjectFile(argument)) return {.kind = Kind::Project, .path = argument};
  if (argument.startsWith(QStringLiteral("-f="))) {
    return {.kind = Kind::CsvFile, .path = argument.mid(3)};
  }
  if (argument.startsWith(QStringLiteral("-t="))) {
    return {.kind = Kind::Title, .title = StrToBool(argument.mid(3))};
  }
  if (argument.startsWith(QStringLiteral("-c="))) {
    return {.kind = Kind::Column, .column = StrToIntDef(argument.mid(3), 0)};
  }
  // "Open with" on a CSV file passes its bare path; a missing one is reported as for -f=.
  if (!argument.isEmpty() && !argument.startsWith(QLatin1Char('-'))) {
    return {.kind = Kind::CsvFile, .path = argument};
  }
  return {};
}

QString ExtractFileExt(const QString& path) {
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  return dot > path.lastIndexOf(QLatin1Char('/')) ? path.mid(dot) : QString();
}

bool IsProjectFile(const QString& path) {
  return ExtractFileExt(path).toUpper() == QStringLiteral(".NVS");
}

bool IsCsvFile(const QString& path) {
  return ExtractFileExt(path).toUpper() == QStringLiteral(".CSV");
}

bool StrToBool(const QString& text) {
  if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) return true;
  if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) return false;
  static const QRegularExpression number(
      QStringLiteral("^ *[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)? *$"));
  const QRegularExpressionMatch match = number.match(text);
  if (match.hasMatch()) {
    const QString mantissa = match.captured(1);
    return std::any_of(mantissa.begin(), mantissa.end(),
                       [](QChar c) { return c >= QLatin1Char('1') && c <= QLatin1Char('9'); });
  }
  throw EConvertError(
      Format(u"'%s' は正しい論理型ではありません", {std::u16string_view(text.toStdU16String())}));
}

int StrToIntDef(const QString& text, int defaultValue) {
  qsizetype i = 0;
  while (i < text.size() && text.at(i) == QLatin1Char(' '))
    ++i;
  bool negative = false;
  if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
    negative = text.at(i) == QLatin1Char('-');
    ++i;
  }
  int base = 10;
  if (i < text.size() && text.at(i) == QLatin1Char('$')) {
    base = 16;
    ++i;
  } else if (text.mid(i, 2).compare(QStringLiteral("0x"), Qt::CaseInsensitive) == 0) {
    base = 16;
    i += 2;
  }
  const QStringView digits = QStringView(text).mid(i);
  if (digits.isEmpty()) return defaultValue;
  long long value = 0;
  for (const QChar c : digits) {
    const char16_t u = c.unicode();
    int digit = base;  // not a digit
    if (u >= u'0' && u <= u'9') digit = u - u'0';
    if (u >= u'a' && u <= u'f') digit = u - u'a' + 10;
    if (u >= u'A' && u <= u'F') digit = u - u'A' + 10;
    if (digit >= base) return defaultValue;
    value = value * base + digit;
    if (value > static_cast<long long>(INT_MAX) + 1) return defaultValue;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return defaultValue;
  return static_cast<int>(value);
}

QString PastedFileName(const QString& text) {
  QString name = text.trimmed();
  if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"'))) {
    name = name.mid(1, name.size() - 2);
  }
  if (name.startsWith(QStringLiteral("file://"), Qt::CaseInsensitive)) {
    const QUrl url(name);
    if (url.isLocalFile()) return QDir::toNativeSeparators(url.toLocalFile());
  }
  if (name.startsWith(QStringLiteral("~/"))) return QDir::homePath() + name.mid(1);
  return name;
}

}  // namespace norvalis::TCommandLine
