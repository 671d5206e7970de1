#pragma once

namespace ui {

// Once a frame is shown: memory the renderer needed only while it drew goes back to the
// system. The vector image library runs only to draw a drawing at a size not drawn before
// (kept as pixels afterwards); its several megabytes of code then sit idle, and the heap
// keeps holes where its passing work was. Cheap when the frame drew nothing new. UI thread.
void releaseRenderMemory();

} // namespace ui
