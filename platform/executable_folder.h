#pragma once

#include <string>

namespace skorva {

// The folder that holds the program's executable, without a closing separator except at the root ("/").
std::string executableFolder();

}  // namespace skorva
