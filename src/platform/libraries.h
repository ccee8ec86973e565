// Library port: the module's own file and the outside libraries it loads
// beside itself.
#pragma once

#include <string>
#include <string_view>

namespace qv {

class Libraries {
 public:
  virtual ~Libraries() = default;
  // Full path of this module's own file; "" when it cannot be read.
  virtual std::string ownModulePath() = 0;
  // Loads the library at `path`; false when it cannot be loaded.
  virtual bool load(const std::string& path) = 0;
  // Frees the library loaded under this module file name, if it is loaded.
  virtual void freeByName(std::string_view moduleName) = 0;
};

}  // namespace qv
