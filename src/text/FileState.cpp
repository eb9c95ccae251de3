#include "text/FileState.h"

namespace norvalis {

UnicodeString FileChangeDetails(const FileChange& change) {
  UnicodeString text;
  auto add = [&text](const UnicodeString& sentence) {
    if (!text.empty()) text += u'\n';
    text += sentence;
  };
  if (change.resized) {
    add(Format(u"大きさが %s バイトから %s バイトになりました。",
               {std::u16string_view(GroupDigits(change.sizeRead)),
                std::u16string_view(GroupDigits(change.sizeNow))}));
  } else if (change.modified) {
    add(u"更新日時が変わりました。");
  }
  if (change.pageLost) add(u"読み込んだ内容の一部がファイルから失われました。");
  if (change.replaced) add(u"同じ名前の別のファイルに置き換えられました。");
  return text;
}

UnicodeString FileChangeText(const FileChange& change) {
  switch (change.state) {
    case FileState::Same:
      return {};
    case FileState::Gone:
      return FileGoneText;
    case FileState::Changed:
      break;
  }
  UnicodeString text = FileChangedText;
  const UnicodeString details = FileChangeDetails(change);
  if (!details.empty()) text += u'\n' + details;
  return text;
}

}  // namespace norvalis
