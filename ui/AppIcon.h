#pragma once

#include <QIcon>

// The application icon IDR_MAINFRAME: two images, 32 x 32 and 16 x 16,
// compiled in from the XPM sources in res/.
namespace AppIcon {

constexpr int kLargeSize = 32;
constexpr int kSmallSize = 16;

QIcon mainFrame();

} // namespace AppIcon
