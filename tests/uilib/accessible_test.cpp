// What screen readers and UI test tools see of a window: every control as an accessible object
// with its role, name, value and state, in the tree of the layout, and the focus announced.
#include <QAccessible>
#include <QAccessibleInterface>

#include <map>

#include "tests/support/case_printing.h"
#include "tests/uilib/ui_test_support.h"
#include "uilib/accessible_ui.h"
#include "uilib/internal/native_window.h"

namespace {

const char kWindow[] =
    u8R"(<Window size="460,460">
  <VerticalLayout inset="10,10,10,10" childpadding="8">
    <Edit name="plate" height="30"/>
    <Edit name="secret" height="30" password="true" tooltip="密码"/>
    <HorizontalLayout height="30" childpadding="8">
      <Option name="owned" text="自有" checkstyle="box" width="90"/>
      <Option name="day" text="按日" group="period" width="70"/>
      <Option name="month" text="按月" group="period" width="70" selected="true"/>
      <Combo name="kind" class="combo_default" width="140">
        <ListLabelElement text="月租"/><ListLabelElement text="临时"/>
      </Combo>
    </HorizontalLayout>
    <List name="grid" header="hidden" height="120"/>
    <Label name="hint" text="说明"/>
    <Label name="rich" showhtml="true" text="&lt;b&gt;车牌&lt;/b&gt;&lt;x 4&gt;必填"/>
    <Progress name="busy" height="10" value="40"/>
    <HorizontalLayout height="34" childpadding="8">
      <Button name="ok" class="btn_primary" text="确定" width="90" default="true"/>
      <Button name="cancel" class="btn_default" text="取消" width="90"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>)";

QString Utf8(const char* text) {
    return QString::fromUtf8(text);
}

std::vector<QAccessibleInterface*> Descendants(QAccessibleInterface* iface) {
    std::vector<QAccessibleInterface*> all;
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (!child) continue;
        all.push_back(child);
        for (QAccessibleInterface* below : Descendants(child)) all.push_back(below);
    }
    return all;
}

// The names of the controls clients were told about.
struct Announcements {
    Announcements() {
        uilib_detail::SetAccessibleListener([](QAccessibleEvent* event) {
            QAccessibleInterface* iface = event->accessibleInterface();
            QString name = iface ? iface->text(QAccessible::Name) : QString();
            if (event->type() == QAccessible::Focus) focused().push_back(name);
            if (event->type() == QAccessible::StateChanged) changed().push_back(name);
        });
        focused().clear();
        changed().clear();
    }
    ~Announcements() { uilib_detail::SetAccessibleListener(nullptr); }
    static std::vector<QString>& focused() {
        static std::vector<QString> names;
        return names;
    }
    static std::vector<QString>& changed() {
        static std::vector<QString> names;
        return names;
    }
};

class AccessibleTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"a11y.xml", kWindow}};
    }
    void SetUp() override {
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open("a11y.xml"));
        grid = dlg.Find<CListUI>("grid");
        for (const char* plate : {"粤B00001", "粤B00002"}) {
            auto* row = new CListLabelElementUI;
            row->SetText(plate);
            grid->Add(row);
        }
        dlg.GetPaintManager().UpdateLayout();
        window = QAccessible::queryAccessibleInterface(uilib_detail::NativeFromHandle(dlg.GetHWND()));
        ASSERT_NE(window, nullptr);
    }
    // The object whose name is given (UTF-8), found by walking down from the window.
    QAccessibleInterface* Named(const char* name) {
        for (QAccessibleInterface* iface : Descendants(window))
            if (iface->text(QAccessible::Name) == Utf8(name)) return iface;
        ADD_FAILURE() << "nothing named " << name;
        return window;
    }
    uitest::TestDialog dlg;
    CListUI* grid = nullptr;
    QAccessibleInterface* window = nullptr;
};

TEST_F(AccessibleTest, TheWindowHoldsTheLayoutsControlsAsItsTree) {
    EXPECT_EQ(window->role(), QAccessible::Window);
    ASSERT_EQ(window->childCount(), 1);
    EXPECT_EQ(window->child(0)->role(), QAccessible::Pane);
    std::vector<QAccessibleInterface*> all = Descendants(window);
    for (QAccessibleInterface* iface : all) {
        QAccessibleInterface* parent = iface->parent();
        ASSERT_NE(parent, nullptr);
        int index = parent->indexOfChild(iface);
        ASSERT_GE(index, 0) << iface->text(QAccessible::Name).toStdString();
        EXPECT_EQ(parent->child(index), iface);
    }
    // The list's rows are its own children, beside its scroll bars; the combo's items show in
    // its drop-down only.
    QAccessibleInterface* list = Named("grid");
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_GE(list->childCount(), 3);
    EXPECT_EQ(list->child(1)->text(QAccessible::Name), Utf8(u8"粤B00001"));
    EXPECT_EQ(list->child(1)->parent(), list);
    EXPECT_EQ(list->child(list->childCount() - 1)->role(), QAccessible::ScrollBar);
    EXPECT_EQ(Named("kind")->childCount(), 0);
}

TEST_F(AccessibleTest, PlacesAreScreenRectanglesOfTheControls) {
    CControlUI* ok = dlg.FindControl("ok");
    POINT topLeft{ok->GetPos().left, ok->GetPos().top};
    dlg.GetPaintManager().ClientToScreen(topLeft);
    QAccessibleInterface* button = Named(u8"确定");
    EXPECT_EQ(button->rect(), QRect(topLeft.x, topLeft.y, ok->GetWidth(), ok->GetHeight()));
    QPoint inside = button->rect().center();
    QAccessibleInterface* row = Named(u8"粤B00002");
    EXPECT_EQ(button->parent()->childAt(inside.x(), inside.y()), button);
    EXPECT_EQ(window->childAt(inside.x(), inside.y()), window->child(0));
    EXPECT_TRUE(row->rect().intersects(Named("grid")->rect()));
}

struct RoleCase : testcases::NamedCase {
    const char* reads;  // the name, UTF-8, as clients read it
    QAccessible::Role role;
    const char* value;
};

class AccessibleRoleTest : public AccessibleTest, public ::testing::WithParamInterface<RoleCase> {};

TEST_P(AccessibleRoleTest, EachKindOfControlHasItsRoleNameAndValue) {
    dlg.Find<CEditUI>("plate")->SetText("粤B12345");
    dlg.Find<CEditUI>("secret")->SetText("hunter2");
    dlg.Find<CComboUI>("kind")->SelectItem(1);
    QAccessibleInterface* iface = Named(GetParam().reads);
    EXPECT_EQ(iface->role(), GetParam().role);
    EXPECT_EQ(iface->text(QAccessible::Value), Utf8(GetParam().value));
}

INSTANTIATE_TEST_SUITE_P(
    Controls, AccessibleRoleTest,
    ::testing::Values(
        RoleCase{{"EditNamedByControl"}, "plate", QAccessible::EditableText, u8"粤B12345"},
        RoleCase{{"PasswordKeepsItsValue"}, u8"密码", QAccessible::EditableText, ""},
        RoleCase{{"CheckBox"}, u8"自有", QAccessible::CheckBox, ""},
        RoleCase{{"GroupedOption"}, u8"按日", QAccessible::RadioButton, ""},
        RoleCase{{"Combo"}, "kind", QAccessible::ComboBox, u8"临时"},
        RoleCase{{"ListRow"}, u8"粤B00002", QAccessible::ListItem, ""},
        RoleCase{{"Label"}, u8"说明", QAccessible::StaticText, ""},
        RoleCase{{"MarkedUpLabelReadsPlain"}, u8"车牌必填", QAccessible::StaticText, ""},
        RoleCase{{"Progress"}, "busy", QAccessible::ProgressBar, "40"},
        RoleCase{{"Button"}, u8"取消", QAccessible::Button, ""}),
    testcases::kCaseName);

TEST_F(AccessibleTest, StateFollowsTheControls) {
    QAccessibleInterface* ok = Named(u8"确定");
    QAccessibleInterface* owned = Named(u8"自有");
    QAccessibleInterface* hint = Named(u8"说明");
    EXPECT_TRUE(ok->state().focusable);
    EXPECT_TRUE(ok->state().defaultButton);
    EXPECT_FALSE(hint->state().focusable);
    EXPECT_TRUE(owned->state().checkable);
    EXPECT_FALSE(owned->state().checked);
    EXPECT_TRUE(Named(u8"按月")->state().checked);
    EXPECT_TRUE(Named(u8"密码")->state().passwordEdit);

    dlg.FindControl("ok")->SetEnabled(false);
    guisupport::Click(dlg.GetHWND(), dlg.Center("owned"));
    dlg.FindControl("hint")->SetVisible(false);
    grid->SelectItem(0);
    EXPECT_TRUE(ok->state().disabled);
    EXPECT_FALSE(ok->state().focusable);
    EXPECT_TRUE(owned->state().checked);
    EXPECT_TRUE(hint->state().invisible);
    EXPECT_TRUE(Named(u8"粤B00001")->state().selected);
    EXPECT_FALSE(Named(u8"粤B00002")->state().selected);
}

TEST_F(AccessibleTest, FocusMovesAreAnnouncedAndShown) {
    Announcements told;
    guisupport::PressKey(dlg.GetHWND(), VK_TAB);
    guisupport::PressKey(dlg.GetHWND(), VK_TAB);
    dlg.GetPaintManager().SetFocus(dlg.FindControl("cancel"));
    ASSERT_GE(told.focused().size(), 3u);
    std::vector<QString> last(told.focused().end() - 3, told.focused().end());
    EXPECT_EQ(last, (std::vector<QString>{"plate", Utf8(u8"密码"), Utf8(u8"取消")}));
    EXPECT_TRUE(Named(u8"取消")->state().focused);
    EXPECT_FALSE(Named("plate")->state().focused);
    EXPECT_EQ(window->focusChild(), Named(u8"取消"));

    guisupport::Click(dlg.GetHWND(), dlg.Center("day"));
    dlg.FindControl("cancel")->SetEnabled(false);
    // The clicked option gained its check, then the group's other one lost it.
    EXPECT_EQ(told.changed(),
              (std::vector<QString>{Utf8(u8"按日"), Utf8(u8"按月"), Utf8(u8"取消")}));
}

// While an edit is edited, typing goes to a native line edit over it, a child of the window.
TEST_F(AccessibleTest, TheNativeEditOverAnEditIsNamedAfterIt) {
    dlg.GetPaintManager().SetFocus(dlg.FindControl("secret"));
    ASSERT_TRUE(dlg.Find<CEditUI>("secret")->IsEditing());
    QAccessibleInterface* native = window->child(window->childCount() - 1);
    ASSERT_NE(native, window->child(0));
    EXPECT_EQ(native->role(), QAccessible::EditableText);
    EXPECT_EQ(native->text(QAccessible::Name), Utf8(u8"密码"));
    EXPECT_EQ(native->parent(), window);
    EXPECT_EQ(window->indexOfChild(native), window->childCount() - 1);
}

TEST_F(AccessibleTest, ClientsPressButtonsAndFocusControls) {
    QAccessibleActionInterface* cancel = Named(u8"取消")->actionInterface();
    ASSERT_NE(cancel, nullptr);
    cancel->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(dlg.recorder.OfType("click").size(), 1u);
    Named("plate")->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_EQ(dlg.GetPaintManager().GetFocus(), dlg.FindControl("plate"));
    EXPECT_TRUE(Named(u8"说明")->actionInterface()->actionNames().isEmpty());
}

TEST_F(AccessibleTest, AControlsObjectGoesWithTheControl) {
    QAccessibleInterface* list = Named("grid");
    int children = list->childCount();
    QAccessible::Id id = QAccessible::uniqueId(Named(u8"粤B00002"));
    grid->RemoveAt(1);
    guisupport::ProcessMessages();
    EXPECT_EQ(QAccessible::accessibleInterface(id), nullptr);
    EXPECT_EQ(list->childCount(), children - 1);
}

}  // namespace
