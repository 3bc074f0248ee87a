// Layout only what changed: a repaint with no change, scrolling and small changes lay out little.
#include "tests/uilib/ui_test_support.h"

namespace {

int g_layouts = 0;

// A cell that counts how often it is laid out.
class CountingLabel : public CLabelUI {
public:
    void SetPos(RECT rc, bool bNeedInvalidate) override {
        ++g_layouts;
        CLabelUI::SetPos(rc, bNeedInvalidate);
    }
};

const char kGrid[] =
    u8R"(<Window size="600,400"><VerticalLayout>
  <HorizontalLayout name="bar" height="30">
    <Label name="pages" autocalcwidth="true" text="第1/9页"/><Button name="next" text="下一页" width="60"/>
  </HorizontalLayout>
  <VerticalLayout name="hidden" visible="false" height="40"/>
  <List name="grid"/>
  </VerticalLayout></Window>)";

constexpr int kRows = 60;
constexpr int kColumns = 4;

class RelayoutTest : public uitest::SkinTest {
protected:
    std::vector<std::pair<std::string, std::string>> Layouts() const override {
        return {{"grid.xml", kGrid}};
    }
    void SetUp() override {
        SkinTest::SetUp();
        ASSERT_TRUE(dlg.Open("grid.xml"));
        grid = dlg.Find<CListUI>("grid");
        for (int c = 0; c < kColumns; ++c) {
            auto* header = new CListHeaderItemUI;
            header->SetFixedWidth(100);
            grid->Add(header);
        }
        for (int r = 0; r < kRows; ++r) {
            auto* row = new CListContainerElementUI;
            row->SetFixedHeight(30);
            grid->Add(row);
            for (int c = 0; c < kColumns; ++c) {
                auto* cell = new CountingLabel;
                cell->SetText("粤B12345");
                row->Add(cell);
            }
        }
        Repaint();
        g_layouts = 0;
    }
    void Repaint() {
        dlg.GetPaintManager().Invalidate();
        dlg.GetPaintManager().PaintNow();
        dlg.GetPaintManager().UpdateLayout();
    }
    CControlUI* Cell(int row, int column) {
        return static_cast<CContainerUI*>(grid->GetItemAt(row))->GetItemAt(column);
    }

    uitest::TestDialog dlg;
    CListUI* grid = nullptr;
};

TEST_F(RelayoutTest, ARepaintWithNothingChangedLaysOutNothing) {
    ASSERT_TRUE(grid->GetList()->GetVerticalScrollBar()->IsVisible());
    Repaint();
    Repaint();
    EXPECT_EQ(g_layouts, 0);
}

TEST_F(RelayoutTest, TheWheelMovesRowsWithoutLayingThemOut) {
    RECT before = Cell(5, 2)->GetPos();
    LRESULT result = 0;
    POINT at = guisupport::CenterOf(grid->GetPos());
    WPARAM down = static_cast<WPARAM>(static_cast<std::uint16_t>(-120)) << 16;
    dlg.GetPaintManager().MessageHandler(WM_MOUSEWHEEL, down, MAKELPARAM(at.x, at.y), result);
    Repaint();
    int scrolled = grid->GetList()->GetScrollPos().cy;
    ASSERT_GT(scrolled, 0);
    EXPECT_EQ(Cell(5, 2)->GetPos().top, before.top - scrolled);
    EXPECT_EQ(Cell(5, 2)->GetPos().left, before.left);
    EXPECT_EQ(grid->GetList()->GetVerticalScrollBar()->GetScrollPos(), scrolled);
    EXPECT_EQ(g_layouts, 0);
}

TEST_F(RelayoutTest, AChangeInOneRowLaysOutThatRowOnly) {
    Cell(10, 1)->SetFixedWidth(150);
    Repaint();
    EXPECT_EQ(g_layouts, kColumns);
    EXPECT_EQ(Cell(10, 1)->GetPos().GetWidth(), 150);
}

TEST_F(RelayoutTest, AWiderColumnLaysOutTheRowsAgain) {
    static_cast<CContainerUI*>(grid->GetHeader())->GetItemAt(0)->SetFixedWidth(160);
    Repaint();
    EXPECT_EQ(grid->GetListInfo()->rcColumn[0].GetWidth(), 160);
    EXPECT_GE(g_layouts, kRows * kColumns);
}

TEST_F(RelayoutTest, AnAutoWidthLabelFollowsItsText) {
    CControlUI* pages = dlg.FindControl("pages");
    int narrow = pages->GetWidth();
    pages->SetText("第100/900页");
    Repaint();
    EXPECT_GT(pages->GetWidth(), narrow);
    EXPECT_EQ(dlg.FindControl("next")->GetPos().left, pages->GetPos().right);
    pages->SetText("");
    Repaint();
    EXPECT_LE(pages->GetWidth(), 1) << "an empty auto-width label stretched";
    EXPECT_EQ(dlg.FindControl("next")->GetPos().left, pages->GetPos().right);
}

TEST_F(RelayoutTest, WhatChangedWhileHiddenIsLaidOutWhenShown) {
    auto* hidden = dlg.Find<CContainerUI>("hidden");
    auto* late = new CountingLabel;
    late->SetFixedHeight(20);
    hidden->Add(late);
    Repaint();
    hidden->SetVisible(true);
    Repaint();
    EXPECT_EQ(late->GetPos().top, hidden->GetPos().top);
    EXPECT_EQ(late->GetPos().GetHeight(), 20);
}

}  // namespace
