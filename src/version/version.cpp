#include "version/version.h"

#include "version/version_number.h"

namespace emberline::version {

std::string_view release() { return EMBERLINE_VERSION; }

}  // namespace emberline::version
