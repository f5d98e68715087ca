#pragma once
// The one reader of /proc for the tests: what this process holds, counted before and after a run.

namespace skorva::testing {

// The resident size, in bytes.
long residentBytes();
// The peak resident size since the last reset (or the start), in KiB; -1 when unknown.
long peakResidentKib();
// Starts a new peak at the present resident size.
void resetPeakResident();
// Open file descriptors.
int openDescriptors();
// System V shared memory segments attached (MIT-SHM).
int sharedMemoryMappings();

}  // namespace skorva::testing
