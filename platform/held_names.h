#pragma once
// The hidden names of held_beside.h, shared by each system's way of creating and locking the files:
// ".skorva-<the target's name, hashed>-<n>.tmp" beside the target.

#include <functional>
#include <string>

namespace skorva {

// The n-th held name beside `target` (n from 1).
std::string heldNameBeside(const std::string& target, int number);

// Offers the held names beside `target` in turn to `claim` (false with errno EEXIST when the name is
// taken). A taken name is offered again once `removeIfAbandoned` has removed a file no running writer
// holds. The name claimed goes into `name`; false with errno on failure (EEXIST when every name is taken).
bool claimHeldName(const std::string& target, std::string& name,
                   const std::function<bool(const std::string&)>& claim,
                   const std::function<bool(const std::string&)>& removeIfAbandoned);

}  // namespace skorva
