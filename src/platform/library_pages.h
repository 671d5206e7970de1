#pragma once

namespace platform {

// Gives the system back the resident pages of the loaded library that defines `symbol`
// which only hold what its file holds (code and constants): for a large library used in
// short bursts with long idle times between. Pages it needs again come back from the page
// cache when it runs, without a disk read. No-op for an unknown symbol, and where the
// system cannot tell which pages those are.
void releaseLibraryPages(const char* symbol);

} // namespace platform
