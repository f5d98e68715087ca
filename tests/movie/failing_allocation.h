#pragma once
// Running out of memory on demand: the next allocation through operator new on the calling thread throws
// std::bad_alloc, as it would when memory ran out. Linking this file replaces operator new and delete for
// the whole test program (over malloc and free).

namespace skorva::testing {

void failNextAllocationOnThisThread();

}  // namespace skorva::testing
