// emberline_mksample: writes one of the deterministic flash images.
//   emberline_mksample [--kind sample|dense|half-blank] OUTPUT
// res/sample/sample.src is this program's "sample" output.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "sample_image.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: emberline_mksample [--kind sample|dense|half-blank] OUTPUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using emberline::tools::ImageKind;
  ImageKind kind = ImageKind::Sample;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--kind" && i + 1 < argc) {
      const auto parsed = emberline::tools::parseImageKind(argv[++i]);
      if (!parsed) return usage();
      kind = *parsed;
    } else if (output == nullptr && !arg.starts_with("-")) {
      output = argv[i];
    } else {
      return usage();
    }
  }
  if (output == nullptr) return usage();

  const auto image = emberline::tools::makeImage(kind);
  std::FILE* file = std::fopen(output, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "emberline_mksample: cannot create %s: %s\n", output, std::strerror(errno));
    return 1;
  }
  const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
  if (std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "emberline_mksample: cannot write %s\n", output);
    return 1;
  }
  return 0;
}
