// Messages the programs word alike.
#pragma once

#include <string>

namespace base {

// A file that could not be written, named in its folder, with the system's
// reason: "cannot write 'NAME' in 'FOLDER': REASON", or "cannot write in
// 'FOLDER': REASON" when the folder itself refused (name empty).
std::string write_failure(const std::string& folder, const std::string& name,
                          const std::string& reason);

// The same for a path, parted at its last '/' (or '\' on Windows).
std::string write_failure(const std::string& path, const std::string& reason);

}  // namespace base
