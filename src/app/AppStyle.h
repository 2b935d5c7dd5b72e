#pragma once
// The program's widget style: the platform's own, except that standard icons a window may
// never show are loaded only when first drawn.
namespace vellaro {

// Installs the style on the application; before the first window is created.
void InstallAppStyle();

} // namespace vellaro
