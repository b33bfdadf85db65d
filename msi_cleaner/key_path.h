// Key paths of installer components: the file or folder a component registration points at.
#pragma once

#include <string>

// The installer writes the drive's colon of a key path as "?" (C?\dir\file.dll); the path used is
// C:\dir\file.dll. Other texts, also those shorter than two characters, stay as they are.
inline std::wstring key_path_from_data(std::wstring data) {
  if (data.size() >= 2 && data[1] == L'?') data[1] = L':';
  return data;
}
