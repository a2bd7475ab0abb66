// Reloading registered resources from their files while the show runs: a
// shader with every program that includes it, or an image or mesh. A result
// per resource; what fails to load leaves the registered one in place.
#pragma once

#include <string>

#include "gpu/resource_registry.h"
#include "resources/reload_result.h"

// The saved file's own program and every program that includes it; a shader
// not registered yet (new, or broken at start) is loaded on its own. An
// include library that loads as nothing gives no result.
ReloadResults reloadShaderFile(ResourceRegistry& registry, const std::string& path);
// An image or mesh; no result when no class takes the file name.
ReloadResults reloadDataFile(ResourceRegistry& registry, const std::string& path);
