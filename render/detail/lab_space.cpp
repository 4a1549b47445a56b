#include "render/detail/lab_space.h"

namespace orichalcumite::detail {
namespace {

#include "render/detail/lab_space_tables.inc"

static_assert(sizeof(kLabForwardTable) == 16 * 16 * 16 * 3);
static_assert(sizeof(kLabInverseTable) == 16 * 16 * 16 * 3);

}  // namespace

const uint8_t* const kLabForward = kLabForwardTable;
const uint8_t* const kLabInverse = kLabInverseTable;

}  // namespace orichalcumite::detail
