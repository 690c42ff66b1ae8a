#pragma once

// The platform's safe file replacement as the workflows' output files, for
// every face: links followed, permissions kept, devices written in place.

#include "core/workflows/output_file.h"

namespace emberline::frontend {

workflows::OutputFiles& platformOutputFiles();

}  // namespace emberline::frontend
