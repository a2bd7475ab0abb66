#include "demo/pass_resources.h"

#include "base/log.h"
#include "demo/production_names.h"
#include "gpu/gl.h"

DataObject* PassResources::need(const std::string& name) {
  DataObject* object = registry_.find(name);
  if (!object && reportedMissing_.insert(name).second) {
    Log("demo: \"%s\" is missing, its pass is skipped\n", name.c_str());
  }
  return object;
}

bool PassResources::useProgram(const std::string& name) {
  DataObject* program = need(name);
  if (!program) return false;
  program->bind();
  return true;
}

void PassResources::bindTo(const std::string& name, int unit) {
  if (DataObject* texture = need(name)) {
    texture->bindTexture(unit, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE);
  }
}

void PassResources::drawScreenQuad() {
  if (DataObject* quad = need(names::kScreenSpace)) quad->drawQuad(0);
}
