// How the passes reach the registry: lookups that log a missing resource
// once and let its pass be skipped, program binding, texture binding with the
// frame's filters, and the full-screen quad. Owns no resource.
#pragma once

#include <set>
#include <string>

#include "gpu/resource_registry.h"

class PassResources {
 public:
  explicit PassResources(ResourceRegistry& registry) : registry_(registry) {}

  // A resource the frame needs. A missing one is reported by the registry on
  // every lookup and logged once; the caller skips its pass or binding.
  DataObject* need(const std::string& name);
  // Binds the named program; false (pass skipped) when it is missing.
  bool useProgram(const std::string& name);
  // Binds the named texture or render target to the unit with the frame's
  // filters (trilinear minification, linear magnification, clamped).
  void bindTo(const std::string& name, int unit);
  void drawScreenQuad();

 private:
  ResourceRegistry& registry_;
  std::set<std::string> reportedMissing_;
};
