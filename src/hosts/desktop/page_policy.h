// Which addresses are the bundled page. The view shows that page and nothing
// else; only that page gets the control.
#pragma once

#include <string>
#include <string_view>

namespace vellumine::desktop {

// True when uri is the page at page_uri, possibly with a fragment ("#top"):
// the same local file, whatever the escaping of its address.
bool IsBundledPage(std::string_view uri, std::string_view page_uri);

// The message by which the page's process tells the view of a load that the
// page's own security policy refused; its parameter "s" is the address.
inline constexpr char kRefusedLoadMessage[] = "vellumine-refused-load";

// True for an address worth handing to the user's own browser or file
// handler when a link on the page asks to leave it.
bool IsExternalLink(std::string_view uri);

// Whether the engine can draw with a graphics processor: a DRM render node
// ("renderD128") in dri_dir. Without one its accelerated drawing runs on a
// software rasteriser, which costs seconds of CPU time and hundreds of
// megabytes for a page of a thousand windows; the page is then drawn
// without compositing.
bool HasRenderNode(const std::string& dri_dir = "/dev/dri");

}  // namespace vellumine::desktop
