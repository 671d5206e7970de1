#include "test_window.h"

#include "ui/window_backend.h"

#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include <memory>

using testing_support::TestWindow;

namespace {

constexpr DWORD kDark = 0xFF202020;
constexpr DWORD kGreen = 0xFF00FF00;

// A tile that counts how often it was drawn.
class PaintSpyUI : public CControlUI {
public:
    const wchar_t* GetClass() const override { return L"PaintSpy"; }
    void DoPaint(ui::Canvas& canvas, const RECT& paint) override
    {
        ++paints;
        CControlUI::DoPaint(canvas, paint);
        if (fill != 0)
            canvas.fillRect(GetPos(), fill);
    }
    int paints = 0;
    DWORD fill = 0; // drawn over the tile; changing it asks for no paint
};

// Three tiles side by side in an off-screen window that has shown its first frame.
class PaintDamageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<TestWindow>(LR"(
          <Window><HorizontalLayout>
            <PaintSpy name="a" bkcolor="#FF202020"/>
            <PaintSpy name="b" bkcolor="#FF202020"/>
            <PaintSpy name="c" bkcolor="#FF202020"/>
          </HorizontalLayout></Window>)");
        m_window->createControl = [](const wchar_t* tag) -> CControlUI* {
            return std::wstring_view(tag) == L"PaintSpy" ? new PaintSpyUI : nullptr;
        };
        ASSERT_TRUE(m_window->open(300, 100));
        m_driver = std::make_unique<ui::UiDriver>(m_window->GetPaintManager());
        ASSERT_TRUE(m_driver->waitFor([&] { return m_window->GetFramesShown() > 0; }));
        m_driver->pump();
        for (const wchar_t* name : {L"a", L"b", L"c"})
            m_spies.push_back(static_cast<PaintSpyUI*>(pm().FindControl(name)));
        forgetPaints();
    }
    void TearDown() override
    {
        m_driver.reset();
        if (m_window->GetHWND())
            ui::destroyWindow(m_window->GetHWND());
    }

    CPaintManagerUI& pm() { return m_window->GetPaintManager(); }
    PaintSpyUI& spy(int index) { return *m_spies[std::size_t(index)]; }
    void forgetPaints()
    {
        for (PaintSpyUI* spy : m_spies)
            spy->paints = 0;
    }
    // The colour the window shows in the middle of a tile.
    std::uint32_t shownAt(const PaintSpyUI& spy) const
    {
        const auto frame = m_window->GetNativeWindow()->shownFrame();
        const RECT rc = spy.GetPos();
        const int x = (rc.left + rc.right) / 2;
        const int y = (rc.top + rc.bottom) / 2;
        return frame ? frame->pixels[std::size_t(y * frame->width + x)] : 0;
    }

    std::unique_ptr<TestWindow> m_window;
    std::unique_ptr<ui::UiDriver> m_driver;
    std::vector<PaintSpyUI*> m_spies;
};

} // namespace

TEST_F(PaintDamageTest, OnlyTheChangedTileIsDrawnAndShown)
{
    spy(1).SetBkColor(kGreen);
    m_driver->pump();
    EXPECT_EQ(spy(0).paints, 0);
    EXPECT_EQ(spy(1).paints, 1);
    EXPECT_EQ(spy(2).paints, 0);
    ASSERT_EQ(pm().GetLastPresented().size(), 1u);
    EXPECT_EQ(pm().GetLastPresented()[0], spy(1).GetPos());
    EXPECT_EQ(shownAt(spy(1)), kGreen);
    EXPECT_EQ(shownAt(spy(0)), kDark) << "the rest of the last frame stays";
}

TEST_F(PaintDamageTest, ChangesCoalesceIntoOneFrameOfTheirRectangles)
{
    const int framesBefore = m_window->GetFramesShown();
    spy(0).SetBkColor(kGreen);
    spy(2).SetBkColor(kGreen);
    spy(2).Invalidate();
    m_driver->pump();
    EXPECT_EQ(spy(0).paints, 1);
    EXPECT_EQ(spy(1).paints, 0);
    EXPECT_EQ(spy(2).paints, 1);
    EXPECT_EQ(pm().GetLastPresented().size(), 2u);
    EXPECT_EQ(m_window->GetFramesShown(), framesBefore + 1);
}

TEST_F(PaintDamageTest, AHiddenOrMinimisedWindowDrawsNothingAndShowsAllWhenBack)
{
    m_window->ShowWindow(false);
    m_driver->pump();
    spy(1).SetBkColor(kGreen);
    m_driver->pump();
    EXPECT_EQ(spy(1).paints, 0);

    m_window->ShowWindow(true);
    m_driver->pump();
    EXPECT_EQ(spy(0).paints, 1) << "the whole frame, shown again";
    EXPECT_EQ(spy(1).paints, 1);
    EXPECT_EQ(shownAt(spy(1)), kGreen);

    forgetPaints();
    m_window->SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    spy(2).SetBkColor(kGreen);
    m_driver->pump();
    EXPECT_EQ(spy(2).paints, 0);
    m_window->SendMessage(WM_SYSCOMMAND, SC_RESTORE);
    m_driver->pump();
    EXPECT_EQ(spy(2).paints, 1);
    EXPECT_EQ(shownAt(spy(2)), kGreen);
}

TEST_F(PaintDamageTest, PacedChangesShowOnlyTheirRectanglesAndNeverWaitForever)
{
    // A streamed picture marks what changed many times a frame: each change is drawn, in
    // its own rectangle only, and none is lost when no other paint comes along.
    for (int round = 0; round < 3; ++round) {
        forgetPaints();
        const DWORD colour = round % 2 == 0 ? kGreen : kDark;
        spy(1).fill = colour;
        spy(2).fill = colour;
        for (int repeat = 0; repeat < 5; ++repeat) {
            pm().InvalidatePaced(spy(1).GetPos());
            pm().InvalidatePaced(spy(2).GetPos());
        }
        ASSERT_TRUE(m_driver->waitFor([&] { return spy(1).paints > 0 && spy(2).paints > 0; }))
            << "round " << round;
        m_driver->pump();
        EXPECT_EQ(spy(0).paints, 0) << "round " << round;
        EXPECT_LE(spy(1).paints, 2) << "round " << round;
        EXPECT_EQ(shownAt(spy(1)), colour);
        EXPECT_EQ(shownAt(spy(2)), colour);
    }
    // Not on show: nothing is drawn, and showing the window again draws it all.
    m_window->ShowWindow(false);
    m_driver->pump();
    forgetPaints();
    spy(0).fill = kGreen;
    pm().InvalidatePaced(spy(0).GetPos());
    m_driver->pump();
    EXPECT_EQ(spy(0).paints, 0);
    m_window->ShowWindow(true);
    m_driver->pump();
    EXPECT_EQ(shownAt(spy(0)), kGreen);
}
