#pragma once

// What assistive technology sees of the window and its own controls: the station picker as one
// group of radio buttons, the selected one checked, and the now-playing artwork as an image.
namespace WindowAccessibility {

// Registers the interfaces with QAccessible; later calls do nothing. Each widget it covers
// calls it before it can be asked for, so no interface is made without it.
void install();

} // namespace WindowAccessibility
