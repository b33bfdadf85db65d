// The framework remover builds its paths from narrow shell folders and wide names by moving single
// bytes: widening takes each byte as one character, narrowing keeps each character's low byte.
#pragma once

#include <string>

std::wstring widen_bytes(const std::string& text);
std::string narrow_low_bytes(const std::wstring& text);
