#pragma once

#include "ui/render.h"

#include <cstddef>
#include <string_view>

namespace ui {

// What a canvas showed in one rectangle at one moment of painting, kept so that the same
// pixels go back in one copy instead of drawing everything that made them again.
class KeptPicture {
public:
    // Keeps the canvas's pixels in rc; a rectangle not wholly on the canvas keeps nothing.
    void keep(const Canvas& canvas, const RECT& rc);
    // True when pixels taken at exactly rc are kept.
    bool holds(const RECT& rc) const;
    // Puts the kept pixels back; false, with nothing drawn, unless they were taken at rc.
    bool putBack(Canvas& canvas, const RECT& rc) const;
    // The pixels kept at exactly rc; null when none are.
    const Image* pixelsAt(const RECT& rc) const { return holds(rc) ? &m_pixels : nullptr; }
    void drop();
    std::size_t bytes() const { return m_pixels.pixels.size() * sizeof(std::uint32_t); }

private:
    RECT m_at{};
    Image m_pixels;
};

} // namespace ui

// A control that keeps a picture of everything under it (and of its own lower layers): when
// only its upper layers change, the paint manager draws it alone over that picture and
// nothing beneath it. Found through GetInterface(kInterface).
class IKeptPictureUI {
public:
    static constexpr std::wstring_view kInterface = L"KeptPicture";
    // True when the picture kept fits the control's current place.
    virtual bool HasKeptPicture() const = 0;

protected:
    ~IKeptPictureUI() = default;
};
