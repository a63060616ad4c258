// Resources of the program written out as files (a sound or a picture another program opens).
#pragma once

#include <string>

namespace shell {

// Writes the bytes of resource `id` of `type` ("wave", "bitmap", …) of a resource module
// ("kelmon", "pavlet"; empty = "kelmon") to `path`, replacing any file there. False when the
// resource is missing or the file could not be written (an old file is then left as it was).
bool ExtractResourceToFile(const std::string& module, unsigned id, const std::string& type,
                           const std::string& path);

}  // namespace shell
