// What controls promise besides their looks: tooltips by position, filtered pasted and dropped
// text, scroll bars styled like other controls.
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QToolTip>

#include "tests/uilib/ui_test_support.h"
#include "uilib/internal/native_window.h"

namespace {

const char kForm[] =
    u8R"(<Window size="400,300">
  <Default name="ScrollBar" thickness="14"/>
  <VerticalLayout>
    <HorizontalLayout name="row" height="30">
      <Label name="mark" width="30" mouse="false" tooltip="导入失败"/>
      <Label name="plain" text="无提示"/>
    </HorizontalLayout>
    <Edit name="digits" height="30" numberonly="true"/>
    <VerticalLayout name="scrolled" vscrollbar="true"><Control height="900"/></VerticalLayout>
  </VerticalLayout></Window>)";

class ContractTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"form.xml", kForm}};
    }
    void SetUp() override {
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open("form.xml"));
    }
    QLineEdit* StartEditing(const char* name) {
        guisupport::Click(dlg.GetHWND(), dlg.Center(name));
        return uilib_detail::NativeFromHandle(dlg.GetHWND())->findChild<QLineEdit*>();
    }
    uitest::TestDialog dlg;
};

TEST_F(ContractTest, AControlThatTakesNoMouseStillShowsItsTooltip) {
    POINT mark = dlg.Center("mark");
    EXPECT_EQ(dlg.GetPaintManager().FindControl(mark), dlg.FindControl("row"));
    EXPECT_EQ(dlg.GetPaintManager().FindToolTipControl(mark), dlg.FindControl("mark"));
    EXPECT_EQ(dlg.GetPaintManager().FindToolTipControl(dlg.Center("plain")), nullptr);
    auto* native = uilib_detail::NativeFromHandle(dlg.GetHWND());
    QHelpEvent help(QEvent::ToolTip, QPoint(mark.x, mark.y), native->mapToGlobal(QPoint(mark.x, mark.y)));
    QApplication::sendEvent(native, &help);
    EXPECT_EQ(QToolTip::text(), QString::fromUtf8(u8"导入失败"));
    QToolTip::hideText();
}

TEST_F(ContractTest, PastedTextPassesTheCharacterFilter) {
    QLineEdit* edit = StartEditing("digits");
    ASSERT_NE(edit, nullptr);
    QApplication::clipboard()->setText("12ab34");
    edit->paste();
    EXPECT_EQ(dlg.FindControl("digits")->GetText(), "1234");
}

TEST_F(ContractTest, DroppedTextPassesTheCharacterFilter) {
    QLineEdit* edit = StartEditing("digits");
    ASSERT_NE(edit, nullptr);
    QMimeData data;
    data.setText("5-x6");
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &drop);
    EXPECT_EQ(dlg.FindControl("digits")->GetText(), "56");
}

TEST_F(ContractTest, ScrollBarsTakeTheirDefaultFromTheStyle) {
    auto* scrolled = dlg.Find<CContainerUI>("scrolled");
    ASSERT_NE(scrolled->GetVerticalScrollBar(), nullptr);
    EXPECT_EQ(scrolled->GetVerticalScrollBar()->GetThickness(), 14);
    EXPECT_EQ(scrolled->GetVerticalScrollBar()->GetWidth(), 14);
}

}  // namespace
