#pragma once

// What assistive technology sees of the recently played list: the list, each row a list item
// named for its track, the row's store link a link that can be pressed, and labels as text.
namespace ContentAccessibility {

// Registers the interfaces with QAccessible; later calls do nothing. Each widget it covers
// calls it before it can be asked for, so no interface is made without it.
void install();

} // namespace ContentAccessibility
