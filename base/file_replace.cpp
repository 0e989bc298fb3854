#include "base/file_replace.h"

namespace vorna {
namespace {
constexpr const char* TEMPORARY_STEM = ".vorna";
constexpr const char* TEMPORARY_SUFFIX = ".tmp";
}  // namespace

std::string TemporaryFileName(const std::string& fileName, long processId, unsigned attempt, std::size_t nameLimit) {
  const std::string unique = "." + std::to_string(processId) + "." + std::to_string(attempt) + TEMPORARY_SUFFIX;
  const std::string named = "." + fileName + unique;
  return named.size() <= nameLimit ? named : TEMPORARY_STEM + unique;
}

}  // namespace vorna
