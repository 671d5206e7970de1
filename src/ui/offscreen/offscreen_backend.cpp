// Windows without a display: the tree lays out and paints into its canvas, and input
// arrives as messages sent by the test driver.
#include "ui/window_backend.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>

namespace ui {
namespace {

class OffscreenWindow final : public NativeWindow {
public:
    OffscreenWindow(const RECT& rc, const NativeWindow* owner) : m_bounds(rc), m_owner(owner) {}

    RECT bounds() const override { return m_bounds; }
    void setBounds(const RECT& rc) override { m_bounds = rc; }
    void setState(ShowState state) override { m_state = state; }
    ShowState state() const override { return m_state; }
    void setTitle(std::wstring_view) override {}
    void present(const Canvas& canvas, std::span<const RECT> damage) override
    {
        if (!m_frame || m_frame->width != canvas.width() || m_frame->height != canvas.height()) {
            m_frame = snapshot(canvas);
            return;
        }
        // Only the damage is copied, so a frame that shows a stale part fails a test's check.
        const RECT all{0, 0, canvas.width(), canvas.height()};
        const auto stridePixels = std::size_t(canvas.stride()) / sizeof(std::uint32_t);
        for (const RECT& rc : damage) {
            RECT part;
            if (!IntersectRect(part, rc, all))
                continue;
            for (int y = part.top; y < part.bottom; ++y) {
                const std::uint32_t* row = canvas.pixels() + std::size_t(y) * stridePixels;
                std::copy(row + part.left, row + part.right,
                          m_frame->pixels.begin() + std::ptrdiff_t(y) * m_frame->width + part.left);
            }
        }
    }
    void raise() override {}
    void setTopMost(bool) override {}
    void setIcon(const Image& icon) override { m_icon = icon; }
    int dpi() const override { return 96; }
    std::optional<Image> shownFrame() const override { return m_frame; }
    std::optional<Image> icon() const override { return m_icon; }
    const NativeWindow* owner() const override { return m_owner; }

private:
    RECT m_bounds;
    const NativeWindow* m_owner;
    ShowState m_state = ShowState::Hidden;
    std::optional<Image> m_frame;
    std::optional<Image> m_icon;
};

class OffscreenBackend final : public WindowBackend {
public:
    std::unique_ptr<NativeWindow> createWindow(HWND, std::wstring_view, const RECT& rc,
                                               const NativeWindow* owner) override
    {
        return std::make_unique<OffscreenWindow>(rc, owner);
    }
    RECT workArea() const override { return RECT{0, 0, 1920, 1080}; }
    int screenDpi() const override { return 96; }
    POINT cursorPos() const override { return POINT{}; }
    std::wstring clipboardText() const override
    {
        std::lock_guard guard(m_lock);
        return m_clipboard;
    }
    void setClipboardText(std::wstring_view text) override
    {
        std::lock_guard guard(m_lock);
        m_clipboard = text;
    }
    void setTextInput(HWND, bool) override {}

private:
    mutable std::mutex m_lock;
    std::wstring m_clipboard;
};

std::unique_ptr<WindowBackend>& currentBackend()
{
    static std::unique_ptr<WindowBackend> backend;
    return backend;
}

} // namespace

std::unique_ptr<WindowBackend> createOffscreenBackend()
{
    return std::make_unique<OffscreenBackend>();
}

WindowBackend& windowBackend()
{
    auto& backend = currentBackend();
    if (!backend)
        backend = createOffscreenBackend();
    return *backend;
}

void setWindowBackend(std::unique_ptr<WindowBackend> backend)
{
    currentBackend() = std::move(backend);
}

} // namespace ui
