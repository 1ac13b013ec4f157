#include "player/ui/SkinImageName.h"

std::wstring SkinImageName(const std::wstring& imagePath) {
  std::wstring::size_type slash = imagePath.rfind(L'\\');
  std::wstring fileName = slash == std::wstring::npos ? imagePath : imagePath.substr(slash + 1);
  std::wstring::size_type dot = fileName.rfind(L'.');
  if (dot == std::wstring::npos) return std::wstring();
  return fileName.substr(0, dot);
}
