#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "AppTestSupport.h"
#include "app/FormAboutBox.h"
#include "app/FormMain.h"

namespace norvalis {
namespace {

using testing::DialogCall;
using testing::FakeDialogs;

struct LabelCase {
  const char* name;
  std::vector<std::uint8_t> data;
  QString version;
  QString copyright;
  QString comments;
};

std::vector<std::uint8_t> BlockWith(std::span<const VersionString> strings) {
  const std::uint32_t translations[] = {0x03A40411};
  const VersionStringTable tables[] = {{u"041103A4", strings}};
  return BuildVersionBlock({{}, {}, translations, tables});
}

TEST(AboutBox, LabelsComeFromTheVersionBlock) {
  const VersionString bare[] = {{u"FileVersion", u"2.0"}, {u"ProductName", u"Other"}};
  const VersionString commented[] = {{u"Comments", u"社内の検証用に配布しています。"},
                                     {u"LegalCopyright", u"Kestrune 2024"}};
  const LabelCase cases[] = {
      {"ProgramBlock",
       {ExecutableVersionData().begin(), ExecutableVersionData().end()},
       QStringLiteral("バージョン 0.1.0.0"),
       QStringLiteral("(C) Kestrune"),
       QString()},
      {"NoCommentsNoCopyright", BlockWith(bare), QStringLiteral("バージョン 2.0"),
       QStringLiteral("(C) "), QString()},
      {"Commented", BlockWith(commented), QStringLiteral("バージョン "),
       QStringLiteral("(C) Kestrune 2024"), QStringLiteral("社内の検証用に配布しています。")},
  };
  for (const LabelCase& c : cases) {
    SCOPED_TRACE(c.name);
    TFormAboutBox box(nullptr, c.data);
    // The name is the application's title whatever the block says.
    EXPECT_EQ(Find<QLabel>(box, "ProductName")->text(), QStringLiteral("Norvalis"));
    EXPECT_EQ(Find<QLabel>(box, "Version")->text(), c.version);
    EXPECT_EQ(Find<QLabel>(box, "Copyright")->text(), c.copyright);
    EXPECT_EQ(Find<QLabel>(box, "Comments")->text(), c.comments);
  }
}

TEST(AboutBox, LayoutIsAsDesigned) {
  TFormAboutBox box(nullptr);
  EXPECT_EQ(box.windowTitle(), QStringLiteral("バージョン情報"));
  EXPECT_EQ(box.minimumSize(), QSize(273, 195));
  EXPECT_EQ(box.maximumSize(), QSize(273, 195));
  const std::pair<QWidget*, QRect> places[] = {
      {Find<QFrame>(box, "Panel1"), QRect(7, 7, 258, 148)},
      {Find<QLabel>(box, "ProgramIcon"), QRect(7, 7, 48, 48)},
      {Find<QLabel>(box, "Comments"), QRect(7, 95, 242, 42)},
      {Find<QPushButton>(box, "OKButton"), QRect(102, 165, 69, 23)},
      {Find<QLabel>(box, "ProductName"), QRect(65, 15, -1, -1)},
      {Find<QLabel>(box, "Version"), QRect(65, 33, -1, -1)},
      {Find<QLabel>(box, "Copyright"), QRect(65, 56, -1, -1)},
  };
  for (const auto& [widget, place] : places) {
    SCOPED_TRACE(widget->objectName().toStdString());
    EXPECT_EQ(widget->pos(), place.topLeft());
    if (place.width() > 0) {
      EXPECT_EQ(widget->size(), place.size());
    }
  }
  EXPECT_EQ(Find<QLabel>(box, "ProgramIcon")->pixmap().size(), QSize(48, 48));
  EXPECT_TRUE(Find<QLabel>(box, "Comments")->wordWrap());
  EXPECT_EQ(Find<QPushButton>(box, "OKButton")->text(), QStringLiteral("OK"));
  EXPECT_TRUE(Find<QPushButton>(box, "OKButton")->isDefault());
  // The program icon is every window's icon.
  EXPECT_FALSE(QApplication::windowIcon().isNull());
  EXPECT_EQ(box.windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
}

TEST(AboutBox, CommandShowsAFreshBoxModallyEachTime) {
  FakeDialogs dialogs;
  TFormMain form;
  std::vector<QString> versions;
  dialogs.onExec = [&](QDialog& dialog) {
    auto& box = dynamic_cast<TFormAboutBox&>(dialog);
    EXPECT_EQ(box.parentWidget(), &form);
    EXPECT_TRUE(box.isVisible());
    versions.push_back(Find<QLabel>(box, "Version")->text());
    Find<QPushButton>(box, "OKButton")->click();
  };
  Find<QAction>(form, "ActionHelpVersion")->trigger();
  Find<QAction>(form, "ActionHelpVersion")->trigger();

  const auto shown = dialogs.Of(DialogCall::Kind::Modal);
  ASSERT_EQ(shown.size(), 2u);
  for (const DialogCall& call : shown)
    EXPECT_EQ(call.title, QStringLiteral("バージョン情報"));
  EXPECT_EQ(versions, (std::vector<QString>(2, QStringLiteral("バージョン 0.1.0.0"))));
  EXPECT_TRUE(form.findChildren<TFormAboutBox*>().isEmpty()) << "the box outlived its command";
}

}  // namespace
}  // namespace norvalis
