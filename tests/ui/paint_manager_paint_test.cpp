#include "test_window.h"

#include "ui/container_ui.h"
#include "ui/kept_picture.h"
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
        if (m_pManager && m_pManager->IsPaintedOver(*this))
            return;
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

namespace {

// A tile that keeps its background and draws its fill over it; its fill changes at the
// paced rate.
class KeptSpyUI : public PaintSpyUI, public IKeptPictureUI {
public:
    void* GetInterface(std::wstring_view name) override
    {
        if (name == IKeptPictureUI::kInterface)
            return static_cast<IKeptPictureUI*>(this);
        return PaintSpyUI::GetInterface(name);
    }
    bool HasKeptPicture() const override { return kept.holds(GetPos()); }
    void DoPaint(ui::Canvas& canvas, const RECT& paint) override
    {
        if (m_pManager->IsDrawnFromKeptPicture(*this)) {
            if (!kept.putBack(canvas, GetPos()))
                return;
            m_pManager->KeptPictureDrawn(*this);
            ++fromKept;
            canvas.fillRect(RECT{m_rcItem.left + 10, m_rcItem.top + 10, m_rcItem.right - 10,
                                 m_rcItem.bottom - 10},
                            fill);
            return;
        }
        RECT visible;
        if (m_pManager->IsPaintedOver(*this) || !IntersectRect(visible, paint, m_rcItem))
            return;
        ++paints;
        CControlUI::DoPaint(canvas, paint);
        if (visible == m_rcItem)
            kept.keep(canvas, m_rcItem);
        else
            kept.drop();
        canvas.fillRect(
            RECT{m_rcItem.left + 10, m_rcItem.top + 10, m_rcItem.right - 10, m_rcItem.bottom - 10},
            fill);
    }
    ui::KeptPicture kept;
    int fromKept = 0;
};

// A kept tile on a background tile, half covered by a tile drawn after it.
class KeptPictureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = std::make_unique<TestWindow>(LR"(
          <Window><Container>
            <PaintSpy name="under" bkcolor="#FF202020"/>
            <KeptSpy name="kept" float="true" pos="20,20,80,80" bkcolor="#FF3050A0"/>
            <PaintSpy name="above" float="true" pos="60,20,120,80" bkcolor="#80FF0000"/>
            <PaintSpy name="apart" float="true" pos="200,20,260,80" bkcolor="#FF00A000"/>
          </Container></Window>)");
        m_window->createControl = [](const wchar_t* tag) -> CControlUI* {
            if (std::wstring_view(tag) == L"PaintSpy")
                return new PaintSpyUI;
            if (std::wstring_view(tag) == L"KeptSpy")
                return new KeptSpyUI;
            return nullptr;
        };
        ASSERT_TRUE(m_window->open(300, 100));
        m_driver = std::make_unique<ui::UiDriver>(m_window->GetPaintManager());
        ASSERT_TRUE(m_driver->waitFor([&] { return m_window->GetFramesShown() > 0; }));
        m_driver->pump();
        under = static_cast<PaintSpyUI*>(pm().FindControl(L"under"));
        kept = static_cast<KeptSpyUI*>(pm().FindControl(L"kept"));
        above = static_cast<PaintSpyUI*>(pm().FindControl(L"above"));
        apart = static_cast<PaintSpyUI*>(pm().FindControl(L"apart"));
        ASSERT_TRUE(kept->HasKeptPicture());
    }
    void TearDown() override
    {
        m_driver.reset();
        if (m_window->GetHWND())
            ui::destroyWindow(m_window->GetHWND());
    }
    CPaintManagerUI& pm() { return m_window->GetPaintManager(); }
    bool nextFrame()
    {
        const int before = m_window->GetFramesShown();
        return m_driver->waitFor([&] { return m_window->GetFramesShown() > before; });
    }
    std::vector<std::uint32_t> shown() const
    {
        return m_window->GetNativeWindow()->shownFrame()->pixels;
    }
    std::vector<std::uint32_t> drawnFresh()
    {
        pm().Invalidate();
        EXPECT_TRUE(nextFrame());
        return shown();
    }

    std::unique_ptr<TestWindow> m_window;
    std::unique_ptr<ui::UiDriver> m_driver;
    PaintSpyUI* under = nullptr;
    KeptSpyUI* kept = nullptr;
    PaintSpyUI* above = nullptr;
    PaintSpyUI* apart = nullptr;
};

} // namespace

TEST_F(KeptPictureTest, APacedControlIsDrawnOverItsPictureWithWhatLiesAboveIt)
{
    under->paints = above->paints = 0;
    kept->fill = kGreen;
    pm().InvalidatePaced(*kept);
    ASSERT_TRUE(nextFrame());
    EXPECT_EQ(kept->fromKept, 1);
    EXPECT_EQ(under->paints, 0) << "the picture holds what lies under it";
    EXPECT_EQ(above->paints, 1) << "what lies above it is drawn over it";
    ASSERT_EQ(pm().GetLastPresented().size(), 1u);
    EXPECT_EQ(pm().GetLastPresented()[0], kept->GetPos());
    const auto fromPicture = shown();
    EXPECT_EQ(fromPicture, drawnFresh());
}

TEST_F(KeptPictureTest, OtherDamageReachingAPacedControlDrawsItFromTheRoot)
{
    under->paints = kept->paints = 0;
    kept->fill = kGreen;
    under->SetBkColor(0xFF404040); // all of the background changes in the same frame
    pm().InvalidatePaced(*kept);
    ASSERT_TRUE(nextFrame());
    EXPECT_EQ(kept->fromKept, 0);
    EXPECT_EQ(under->paints, 1);
    EXPECT_EQ(kept->paints, 1);
    const auto frame = shown();
    EXPECT_EQ(frame, drawnFresh());

    // Drawn in part, its picture no longer fits: its next change is drawn from the root.
    pm().Invalidate(RECT{0, 0, 30, 30});
    ASSERT_TRUE(nextFrame());
    EXPECT_FALSE(kept->HasKeptPicture());
    kept->fill = kDark;
    pm().InvalidatePaced(*kept);
    ASSERT_TRUE(nextFrame());
    EXPECT_EQ(kept->fromKept, 0);
    EXPECT_TRUE(kept->HasKeptPicture());
    const auto again = shown();
    EXPECT_EQ(again, drawnFresh());
}

TEST_F(KeptPictureTest, AControlThatLeavesWhileItsChangeWaitsIsNotTouchedAndItsPlaceIsDrawn)
{
    kept->fill = kGreen;
    pm().InvalidatePaced(*kept);
    pm().InvalidatePaced(*kept);
    auto* container = static_cast<CContainerUI*>(pm().GetRoot()->GetInterface(L"Container"));
    ASSERT_TRUE(container->Remove(kept));
    ASSERT_TRUE(nextFrame());
    const auto frame = m_window->GetNativeWindow()->shownFrame();
    EXPECT_EQ(frame->pixels[std::size_t(30 * frame->width + 30)], kDark)
        << "shows what was under it";
}
