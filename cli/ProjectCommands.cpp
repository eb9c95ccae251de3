// Project files, and what the program says of itself.

#include <cstdio>

#include "Commands.h"
#include "Output.h"
#include "persistence/Project.h"
#include "text/Exception.h"
#include "version/AppInfo.h"

namespace norvalis::cli {

int RunShowProject(const Options& o) {
  TProject project;
  try {
    project.LoadFromFile(FromUtf8(o.names[0].text));
  } catch (const Exception& error) {
    return Unreadable(error.Message());
  }
  Output out;
  JsonWriter json(out);
  json.BeginObject();
  json.Key("FILENAME");
  json.String(project.FileName);
  json.Key("TITLE");
  json.Bool(project.Title);
  json.Key("COL");
  json.Number(project.Col);
  json.EndObject();
  json.EndLine();
  return ExitOk;
}

int RunWriteProject(const Options& o) {
  const TProject project(FromUtf8(o.names[1].text), o.column, o.title);
  try {
    project.SaveToFile(FromUtf8(o.names[0].text));
  } catch (const Exception& error) {
    return Unreadable(error.Message());
  }
  return ExitOk;
}

int RunVersion(const Options&) {
  // The file version of the version block the window's About box shows.
  const UnicodeString version = TkAppInfo().GetValue(TkAppInfo::FileVersion);
  Output out;
  out.Line("norvalis-check " + ToUtf8(version));
  return ExitOk;
}

int RunHelp(const Options&) {
  Output out;
  out.Put(UsageText());
  return ExitOk;
}

}  // namespace norvalis::cli
