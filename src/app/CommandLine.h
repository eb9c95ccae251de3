#pragma once

#include <QString>

namespace norvalis {

// What one start-up argument asks the window to do.
struct StartupArgument {
  enum class Kind { Project, CsvFile, Title, Column, Ignored };
  Kind kind = Kind::Ignored;
  QString path{};  // Project, CsvFile
  bool title = false;
  long long column = 0;  // Column: the data column
};

// The start-up arguments and the toolkit conversions they are read with.
namespace TCommandLine {

// The first rule that fits the argument: a project file by its extension, "-f=", "-t=",
// "-c=", or a bare path (as "Open with" passes it). A "-t=" value that
// is not Boolean raises EConvertError, when this argument's turn comes.
StartupArgument ParseArgument(const QString& argument);

// The extension from the last dot on, when that dot follows the last folder separator.
QString ExtractFileExt(const QString& path);
bool IsProjectFile(const QString& path);
bool IsCsvFile(const QString& path);
// The file a text pasted into the file box names: surrounding blanks and double quotes (as a
// copied Windows path has them) dropped, a file:// URL as its local path, "~/" as the home
// folder; any other text as it is.
QString PastedFileName(const QString& text);

// The toolkit's Boolean conversion: a number is true when it is not zero, the words True
// and False in any case; anything else raises EConvertError.
bool StrToBool(const QString& text);
// The toolkit's integer conversion with a default: leading blanks, a sign, decimal digits or
// hexadecimal after "$" or "0x"; the default for anything else or beyond 32 bits.
int StrToIntDef(const QString& text, int defaultValue);

}  // namespace TCommandLine

}  // namespace norvalis
