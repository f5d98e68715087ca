#pragma once
// The program speaks UTF-8; Windows' own calls take UTF-16.

#include <string>

namespace skorva::win32 {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
std::string narrow(const wchar_t* wide, std::size_t length);

}  // namespace skorva::win32
