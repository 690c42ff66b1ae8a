#include "frontend/output_files.h"

#include "platform/file_replacement.h"

namespace emberline::frontend {

namespace {

std::string describe(const platform::FileError& error) {
  return error.creating ? workflows::cannotCreateText(error.path, error.why)
                        : workflows::cannotWriteText(error.path, error.why);
}

class PlatformOutput final : public workflows::PendingOutput {
 public:
  explicit PlatformOutput(std::unique_ptr<platform::FileReplacement> file) : file_(std::move(file)) {}
  std::optional<std::string> commit(std::span<const std::uint8_t> bytes) override {
    platform::FileError error;
    if (file_->commit(bytes, &error)) return std::nullopt;
    return describe(error);
  }

 private:
  std::unique_ptr<platform::FileReplacement> file_;
};

class PlatformOutputFiles final : public workflows::OutputFiles {
 public:
  std::unique_ptr<workflows::PendingOutput> begin(const std::filesystem::path& target, std::string* error) override {
    platform::FileError failure;
    auto file = platform::FileReplacement::begin(target, &failure);
    if (!file) {
      *error = describe(failure);
      return nullptr;
    }
    return std::make_unique<PlatformOutput>(std::move(file));
  }
};

}  // namespace

workflows::OutputFiles& platformOutputFiles() {
  static PlatformOutputFiles files;
  return files;
}

}  // namespace emberline::frontend
