#include "fields/byte_swap.h"

namespace ctree {

const std::uint16_t endian = 1;

}  // namespace ctree
