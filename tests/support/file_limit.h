// A disk that fills up, for the tests: a limit on the size of the files this
// process writes (a write past it fails as on a full disk). Only where the
// system has such a limit (not on Windows).
#pragma once

#include <cstdint>

namespace sonivel::test {

bool CanLimitFileSize();
void LimitFileSize(std::uint64_t bytes);
void UnlimitFileSize();

}  // namespace sonivel::test
