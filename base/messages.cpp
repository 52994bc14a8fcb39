#include "messages.h"

namespace base {

std::string write_failure(const std::string& folder, const std::string& name,
                          const std::string& reason) {
  if (name.empty()) return "cannot write in '" + folder + "': " + reason;
  return "cannot write '" + name + "' in '" + folder + "': " + reason;
}

std::string write_failure(const std::string& path, const std::string& reason) {
#ifdef _WIN32
  size_t slash = path.find_last_of("/\\");
#else
  size_t slash = path.find_last_of('/');
#endif
  if (slash == std::string::npos) return write_failure(".", path, reason);
  return write_failure(path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1), reason);
}

}  // namespace base
