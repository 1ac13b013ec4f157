// The name under which a skin description's image is known: the file name of its path, without
// the extension. Window-free, so it can be checked on its own.
#pragma once
#include <string>

// The part of `imagePath` after its last backslash, without the part from its last dot on.
// A path without a backslash is taken whole; a file name without a dot gives the empty name.
//   "default\backtop.png" -> "backtop",  "x.y.png" -> "x.y",  "default\readme" -> ""
std::wstring SkinImageName(const std::wstring& imagePath);
