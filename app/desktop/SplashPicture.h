#pragma once

#include <span>

namespace app {

// The About window's picture: a 500 x 300 JPEG file compiled into the program (resources/splash.jpg).
std::span<const unsigned char> SplashPicture();

}  // namespace app
