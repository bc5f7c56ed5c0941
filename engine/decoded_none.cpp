// A build without libsndfile reads the PCM and floating-point encodings only.
#include "decoded.h"

namespace sonivel {

bool CanDecode() { return false; }
std::unique_ptr<ByteSource> OpenDecoded(ByteSource&, DecodedShape*) { return nullptr; }
std::unique_ptr<ByteSource> OpenDecoded(std::unique_ptr<ByteSource>, DecodedShape*) { return nullptr; }

}  // namespace sonivel
